import QtQuick 2.12
import QtQuick.Window 2.12

// The floor of the time-to-first-meme benchmark: a window that fetches the listing and shows the
// first image post's picture with a plain Image, nothing else.
Window {
    visible: true
    width: 800
    height: 600

    Image {
        id: picture

        objectName: "picture"
    }

    Component.onCompleted: {
        var request = new XMLHttpRequest()
        request.onreadystatechange = function () {
            if (request.readyState !== XMLHttpRequest.DONE)
                return
            var children = JSON.parse(request.responseText).data.children
            for (var i = 0; i < children.length; ++i) {
                var post = children[i].data
                if (!post.stickied && post.post_hint === "image") {
                    picture.source = post.url
                    return
                }
            }
        }
        request.open("GET", listingOrigin + "/r/dankmemes/hot.json?after=&limit=25")
        request.send()
    }
}
