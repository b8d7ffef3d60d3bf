import QtQuick 2.12
import QtQuick.Controls 2.12
import QtQuick.Controls.Material 2.12
import Bunker 1.0
import Reddit 1.0

// The start page: the image posts of the board's listing as meme cards, one listing page at a
// time, with "LOAD MORE" at the end. Every instance owns its feed client, so a new page starts
// the feed from the top.
ListView {
    id: trendingPage

    // Names of the posts shown so far; a refresh makes a new page and so forgets them.
    property var shownNames: ({})
    readonly property bool fromAtom: reddit.fromAtom

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

    // One row of memeModel; every row has every role, so that the model never lacks one.
    function memeRow(title, url, gallery, veil, postPage) {
        return { title: title, url: url, gallery: gallery, veil: veil, post: postPage }
    }

    function isVideoPage(url) {
        // i.imgur.com/<id>.gifv and its kin are video pages that no Image can show.
        return /\.(gifv|mp4|webm)(\?|#|$)/i.test(url)
    }

    // The pictures of a gallery post, in gallery order, their escaping undone; empty for any other post.
    function galleryPicturesOf(post) {
        var items = post.gallery_data && Array.isArray(post.gallery_data.items) ? post.gallery_data.items : []
        var media = post.media_metadata && typeof post.media_metadata === "object" ? post.media_metadata : {}
        var extensions = { "image/jpg": ".jpg", "image/jpeg": ".jpg", "image/png": ".png", "image/gif": ".gif" }
        var pictures = []
        for (var i = 0; i < items.length; ++i) {
            var id = items[i] ? items[i].media_id : undefined
            var entry = typeof id === "string" && media.hasOwnProperty(id) ? media[id] : null
            if (!entry || entry.e !== "Image")
                continue
            var source = entry.s && typeof entry.s.u === "string" ? trendingPage.decodeEntities(entry.s.u) : ""
            if (source === "" && extensions.hasOwnProperty(entry.m) && /^[A-Za-z0-9]+$/.test(id))
                source = "https://i.redd.it/" + id + extensions[entry.m]
            if (trendingPage.webPictureOf({ url: source }) !== "" && !trendingPage.isVideoPage(source))
                pictures.push(source)
        }
        return pictures
    }

    // The row for one post of a listing, or null when the feed leaves the post out.
    function rowOf(post, nsfwMode) {
        if (!post || post.stickied === true)
            return null
        var url = trendingPage.webPictureOf(post)
        var gallery = trendingPage.galleryPicturesOf(post)
        if (gallery.length > 0)
            url = gallery[0]
        else if (post.post_hint !== "image" || trendingPage.isVideoPage(String(post.url)))
            return null
        var nsfw = post.over_18 === true
        var spoiler = post.spoiler === true
        if (nsfw && nsfwMode === "hidden")
            return null
        var veil = nsfwMode === "shown" ? "" : nsfw ? "NSFW" : spoiler ? "Spoiler" : ""
        var title = typeof post.title === "string" ? trendingPage.decodeEntities(post.title) : ""
        var postPage = typeof post.permalink === "string" ? reddit.postPage(post.permalink) : ""
        return trendingPage.memeRow(title, url, gallery.length > 1 ? JSON.stringify(gallery) : "", veil, postPage)
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
        var rows = []
        var children = listing.data.children
        for (var i = 0; i < children.length; ++i) {
            var post = children[i] ? children[i].data : null
            var row = trendingPage.rowOf(post, trendingSettings.nsfw)
            if (row === null)
                continue
            // A re-ranked listing repeats posts on later pages: each post is shown once per feed.
            if (typeof post.name === "string" && post.name !== "") {
                if (trendingPage.shownNames.hasOwnProperty(post.name))
                    continue
                trendingPage.shownNames[post.name] = true
            }
            rows.push(row)
        }
        return rows
    }

    function fillWithMemes(reply) {
        if (reply === "") {
            memeModel.append(trendingPage.memeRow("No Internet connection, sry m8", "qrc:/img/nointernet.jpg", "", "", ""))
            return
        }
        var posts = imagePostsOf(reply)
        for (var i = 0; i < posts.length; ++i)
            memeModel.append(posts[i])
    }

    function saveShownPicture(card) {
        var picture = card.memeImg
        var title = card.title
        // A blurred picture is not the user's to keep until they have chosen to see it.
        if (picture === null || card.veiled)
            return
        // The grab result only lives during the callback, so the image is handed over there.
        picture.grabToImage(function (result) {
            var countBefore = bunker.memeCount
            bunker.save(title, result.image)
            window.showToast(bunker.memeCount !== countBefore ? "Saved to the bunker" : "Could not save the meme")
        })
    }

    function openShareMenu(card) {
        shareMenu.card = card
        shareMenu.openUnder(card.shareButton)
    }

    // The picture as shown: the grab result only lives during the callback.
    function copyPicture(card) {
        var picture = card.memeImg
        if (card.veiled) {
            window.showToast("Click the picture to show it first")
            return
        }
        if (picture === null || picture.status !== Image.Ready) {
            window.showToast("The picture is not loaded yet")
            return
        }
        picture.grabToImage(function (result) {
            window.showToast(shareManager.copyImage(result.image) ? "Picture copied" : "Could not copy the picture")
        })
    }

    function copyLink(card) {
        window.showToast(shareManager.copyLink(card.url) ? "Link copied" : "This meme has no link to copy")
    }

    function openPost(card) {
        window.showToast(shareManager.openPost(card.post) ? "Opening the post" : "This meme has no post to open")
    }

    maximumFlickVelocity: 5000
    spacing: 30
    model: ListModel {
        id: memeModel
    }
    delegate: Meme {
        id: card

        readonly property string post: model.post

        width: card.ListView.view.width
        title: model.title
        url: model.url
        gallery: model.gallery === "" ? [] : JSON.parse(model.gallery)
        veil: model.veil
        focusFrame: card.ListView.isCurrentItem && window.keyboardUsed
        shareable: shareManager.desktop
        onConfirm: card.ListView.view.saveShownPicture(card)
        onCancel: memeModel.remove(index)
        onShare: card.ListView.view.openShareMenu(card)
    }
    header: Pane {
        id: offlineBanner

        width: offlineBanner.ListView.view.width
        height: reddit.offline ? implicitHeight : 0
        visible: reddit.offline
        padding: 8
        Material.background: Material.color(Material.BlueGrey)

        Label {
            anchors.fill: parent
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.Wrap
            color: "#fff"
            font.pointSize: 12
            text: "Offline — showing the feed from " + Qt.formatDateTime(reddit.offlineReadAt, Qt.DefaultLocaleShortDate)
        }
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

    CardKeys {
        view: trendingPage
        active: trendingPage.StackView.status === StackView.Active

        onSave: card.confirm()
        onCopy: trendingPage.copyPicture(card)
        onCopyLink: trendingPage.copyLink(card)
        onOpen: trendingPage.openPost(card)
        // Exactly what NORMIEEEE does.
        onRemove: card.cancel()
        onPreviousPicture: card.showPicture(card.pictureIndex - 1)
        onNextPicture: card.showPicture(card.pictureIndex + 1)
    }

    ButtonMenu {
        id: shareMenu

        property Item card: null

        objectName: "shareMenu"

        KeyMenuItem {
            text: "Copy picture"
            key: "C"
            onTriggered: trendingPage.copyPicture(shareMenu.card)
        }

        KeyMenuItem {
            text: "Copy link"
            key: "L"
            onTriggered: trendingPage.copyLink(shareMenu.card)
        }

        KeyMenuItem {
            text: "Open post"
            key: "O"
            enabled: shareMenu.card !== null && shareMenu.card.post !== ""
            onTriggered: trendingPage.openPost(shareMenu.card)
        }
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
