import QtQuick 2.12
import QtQuick.Controls 2.12
import QtQuick.Controls.Material 2.12
import Bunker 1.0
import Reddit 1.0

// The start page: the image posts of the board's listing as meme cards, one listing page at a
// time, with "LOAD MORE" at the end. Every instance owns its feed client, so a new page starts
// the feed from the top.
ListView {
    function decodeEntities(text) {
        // The listing escapes exactly these three; decoding in one pass keeps "&amp;lt;" as "&lt;".
        var entities = { "&amp;": "&", "&lt;": "<", "&gt;": ">" }
        return text.replace(/&(amp|lt|gt);/g, function (entity) {
            return entities[entity]
        })
    }

    // Only a web address may be a post's picture. Anything else (a local file, the program's own
    // resources, inline data, a relative address that would resolve to one of those) would be shown,
    // saved and shared as if it were the post's: such a post is shown as one without a picture.
    function webPictureOf(post) {
        return typeof post.url === "string" && /^https?:\/\/[^\/?#\\]/i.test(post.url) ? post.url : ""
    }

    function imagePostsOf(reply) {
        // A body that is not a listing counts as a page without image posts.
        var listing
        try {
            listing = JSON.parse(reply)
        } catch (error) {
            return []
        }
        if (!listing || !listing.data || !Array.isArray(listing.data.children))
            return []
        var posts = []
        var children = listing.data.children
        for (var i = 0; i < children.length; ++i) {
            var post = children[i] ? children[i].data : null
            if (!post || post.stickied === true || post.post_hint !== "image")
                continue
            posts.push({
                title: typeof post.title === "string" ? decodeEntities(post.title) : "",
                url: webPictureOf(post)
            })
        }
        return posts
    }

    function fillWithMemes(reply) {
        if (reply === "") {
            memeModel.append({ title: "No Internet connection, sry m8", url: "qrc:/img/nointernet.jpg" })
            return
        }
        var posts = imagePostsOf(reply)
        for (var i = 0; i < posts.length; ++i)
            memeModel.append(posts[i])
    }

    function saveShownPicture(card) {
        var picture = card.memeImg
        var title = card.title
        if (picture === null)
            return
        // The grab result only lives during the callback, so the image is handed over there.
        picture.grabToImage(function (result) {
            bunker.save(title, result.image)
        })
    }

    maximumFlickVelocity: 5000
    spacing: 30
    model: ListModel {
        id: memeModel
    }
    delegate: Meme {
        id: card

        width: card.ListView.view.width
        title: model.title
        url: model.url
        onConfirm: card.ListView.view.saveShownPicture(card)
        onCancel: memeModel.remove(index)
    }
    footer: ItemDelegate {
        id: loadMoreButton

        property bool loadingMore: false

        function stopLoadingMore() {
            loadMoreButton.loadingMore = false
        }

        width: loadMoreButton.ListView.view.width
        height: 80
        visible: !loading.running && loading.internet
        Material.background: "#fff"

        onClicked: {
            loadMoreButton.loadingMore = true
            reddit.load()
        }
        Component.onCompleted: reddit.responseAvailable.connect(loadMoreButton.stopLoadingMore)

        Text {
            id: loadMoreText

            anchors.centerIn: parent
            text: "LOAD MORE"
            font.pointSize: 20
            horizontalAlignment: Text.AlignHCenter
            color: Material.color(Material.Teal)
            visible: !loadMoreButton.loadingMore
        }

        BusyIndicator {
            anchors.centerIn: parent
            running: loadMoreButton.loadingMore
            visible: loadMoreButton.loadingMore
        }
    }

    remove: Transition {
        NumberAnimation {
            property: "scale"
            from: 1.0
            to: 0
            duration: 200
        }

        NumberAnimation {
            property: "opacity"
            from: 1.0
            to: 0
            duration: 200
        }
    }

    removeDisplaced: Transition {
        NumberAnimation {
            properties: "x,y"
            duration: 500
            easing.type: Easing.OutBack
        }
    }

    Component.onCompleted: reddit.responseAvailable.connect(fillWithMemes)

    Reddit {
        id: reddit
    }

    BusyIndicator {
        id: loading

        property bool internet: true

        function takeReply(reply) {
            loading.running = false
            if (reply === "")
                loading.internet = false
        }

        anchors.centerIn: parent
        running: true

        Component.onCompleted: reddit.responseAvailable.connect(loading.takeReply)
    }
}
