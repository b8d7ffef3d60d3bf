import QtQuick 2.12
import QtQuick.Controls 2.12
import QtQuick.Controls.Material 2.12
import QtQuick.Controls.Universal 2.12
import QtGraphicalEffects 1.12

// One meme: title, picture and two buttons. The card only signals; the page decides what the
// buttons mean (dismiss/save on the feed, remove/share in the bunker).
Pane {
    id: meme

    property Item memeImg: imgLoader.item
    property string title: ""
    property string url: ""
    property bool animated: false
    property string uuid: ""
    property bool insideBunker: false
    // Every picture of a gallery post, in order; empty (or one) for a post of one picture.
    property var gallery: []
    property int pictureIndex: 0
    readonly property int pictureCount: meme.gallery.length > 1 ? meme.gallery.length : 1
    readonly property string shownUrl: meme.gallery.length > 1 ? meme.gallery[meme.pictureIndex] : meme.url
    // "NSFW" or "Spoiler": the picture stays blurred, and is neither saved nor shared, until clicked.
    property string veil: ""
    property bool revealed: false
    readonly property bool veiled: meme.veil !== "" && !meme.revealed
    // Whether a feed card offers its share button: only where the desktop's facility is attached.
    property bool shareable: false
    // Grows with the card but never shrinks: a new size reloads the picture, a smaller card can
    // show the sharper one it already has.
    property int decodeWidth: 0
    readonly property int neededDecodeWidth: Math.ceil(col.width * meme.pixelRatio())
    // The picture is requested only once its decode width is known, so it is fetched once, not
    // at full size first.
    property bool decodeWidthKnown: false
    // Set by the list on its current card once the keyboard has been used.
    property bool focusFrame: false
    // The buttons a page's share menu opens at.
    readonly property Item confirmButton: confirmButton
    readonly property Item shareButton: shareButton

    signal confirm()
    signal cancel()
    // Only feed cards have a share button; a saved card shares through its second button.
    signal share()

    function pixelRatio() {
        // The densest screen, so that the picture stays sharp on whichever screen shows it.
        var ratio = 1
        var screens = Qt.application.screens
        for (var i = 0; i < screens.length; ++i)
            ratio = Math.max(ratio, screens[i].devicePixelRatio)
        return ratio
    }

    // Pages through a gallery; past either end nothing happens.
    function showPicture(index) {
        if (index >= 0 && index < meme.pictureCount)
            meme.pictureIndex = index
    }

    function growDecodeWidth() {
        if (meme.neededDecodeWidth > meme.decodeWidth) {
            meme.decodeWidth = meme.neededDecodeWidth
            meme.decodeWidthKnown = true
        }
    }

    Material.elevation: 6
    contentWidth: col.implicitWidth
    contentHeight: col.implicitHeight

    onNeededDecodeWidthChanged: meme.growDecodeWidth()
    onGalleryChanged: meme.pictureIndex = 0
    Component.onCompleted: meme.growDecodeWidth()
    Keys.onLeftPressed: meme.showPicture(meme.pictureIndex - 1)
    Keys.onRightPressed: meme.showPicture(meme.pictureIndex + 1)

    FocusFrame {
        card: meme
        visible: meme.focusFrame
    }

    Column {
        id: col

        width: parent.width

        Item {
            width: col.width
            height: 100

            Label {
                id: titleLabel

                anchors {
                    left: parent.left
                    right: parent.right
                    top: parent.top
                }
                padding: 20
                text: meme.title
                // Titles come from strangers: markup must show as typed, never load anything.
                textFormat: Text.PlainText
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.Wrap
                font.family: montserrat.name
                font.pointSize: 20
            }
        }

        Item {
            id: pictureArea

            readonly property bool pictureReady: imgLoader.item !== null && imgLoader.item.status === Image.Ready
            readonly property bool pictureFailed: imgLoader.item !== null && imgLoader.item.status === Image.Error

            width: col.width
            height: pictureArea.pictureReady ? imgLoader.item.height : 200

            BusyIndicator {
                anchors.centerIn: parent
                running: imgLoader.item !== null && imgLoader.item.status === Image.Loading
            }

            // Unreachable, damaged, or too large to decode: said so, where the picture would be.
            Label {
                id: failedLabel

                anchors.centerIn: parent
                visible: pictureArea.pictureFailed
                text: "This picture could not be shown"
                font.family: montserrat.name
                font.pointSize: 14
                opacity: 0.7
            }

            Loader {
                id: imgLoader

                anchors.horizontalCenter: parent.horizontalCenter
                sourceComponent: meme.animated ? animatedImgComponent : imgComponent
            }

            BrightnessContrast {
                anchors.fill: imgLoader
                source: imgLoader.item
                visible: !meme.veiled
                brightness: globalSettings.decreaseBrightness && globalSettings.themeMode === Material.Dark ? -0.5 : 0
            }

            // Drawn from the picture, which itself stays hidden: nothing sharp reaches the screen.
            Loader {
                anchors.fill: imgLoader
                active: meme.veiled

                sourceComponent: FastBlur {
                    source: imgLoader.item
                    // Heavy enough that neither faces nor captions can be made out.
                    radius: 128
                }
            }

            MouseArea {
                id: pictureMouse

                property real pressX: 0
                property real pressY: 0
                property bool swiped: false

                anchors.fill: parent
                hoverEnabled: true
                onPressed: {
                    pictureMouse.pressX = mouse.x
                    pictureMouse.pressY = mouse.y
                    pictureMouse.swiped = false
                }
                onReleased: {
                    // A sideways swipe pages; an upward or downward one belongs to the list.
                    var dx = mouse.x - pictureMouse.pressX
                    if (Math.abs(dx) > 40 && Math.abs(dx) > 2 * Math.abs(mouse.y - pictureMouse.pressY)) {
                        pictureMouse.swiped = true
                        meme.showPicture(meme.pictureIndex + (dx < 0 ? 1 : -1))
                    }
                }
                onClicked: {
                    if (pictureMouse.swiped)
                        return
                    if (meme.veiled)
                        meme.revealed = true
                    // So that the arrow keys page through this card's gallery.
                    meme.forceActiveFocus()
                }

                Rectangle {
                    id: veilShade

                    x: imgLoader.x
                    y: imgLoader.y
                    width: Math.max(imgLoader.width, veilLabel.implicitWidth + 20)
                    height: Math.max(imgLoader.height, veilLabel.implicitHeight + 20)
                    visible: meme.veiled
                    color: "#80000000"

                    Label {
                        id: veilLabel

                        anchors.centerIn: parent
                        text: meme.veil + " — click to show"
                        color: "#fff"
                        font.family: montserrat.name
                        font.pointSize: 16
                    }
                }

                ToolButton {
                    id: previousButton

                    anchors {
                        left: parent.left
                        leftMargin: 10
                        verticalCenter: parent.verticalCenter
                    }
                    text: "‹"
                    font.pointSize: 20
                    visible: meme.pictureCount > 1 && meme.pictureIndex > 0
                             && (pictureMouse.containsMouse || previousButton.hovered || nextButton.hovered)
                    Material.foreground: "#fff"
                    background: Rectangle {
                        implicitWidth: 44
                        implicitHeight: 44
                        radius: 22
                        color: "#99000000"
                    }
                    onClicked: meme.showPicture(meme.pictureIndex - 1)
                }

                ToolButton {
                    id: nextButton

                    anchors {
                        right: parent.right
                        rightMargin: 10
                        verticalCenter: parent.verticalCenter
                    }
                    text: "›"
                    font.pointSize: 20
                    visible: meme.pictureCount > 1 && meme.pictureIndex < meme.pictureCount - 1
                             && (pictureMouse.containsMouse || previousButton.hovered || nextButton.hovered)
                    Material.foreground: "#fff"
                    background: Rectangle {
                        implicitWidth: 44
                        implicitHeight: 44
                        radius: 22
                        color: "#99000000"
                    }
                    onClicked: meme.showPicture(meme.pictureIndex + 1)
                }

                Label {
                    id: galleryBadge

                    // On the picture's top right corner, wherever the picture sits in the area.
                    x: imgLoader.x + imgLoader.width - galleryBadge.width - 10
                    y: imgLoader.y + 10
                    visible: meme.pictureCount > 1
                    padding: 6
                    text: (meme.pictureIndex + 1) + "/" + meme.pictureCount
                    color: "#fff"
                    font.pointSize: 12
                    background: Rectangle {
                        radius: 4
                        color: "#99000000"
                    }
                }
            }
        }

        Item {
            width: col.width
            height: 80

            Row {
                anchors {
                    top: parent.top
                    topMargin: 15
                    right: parent.right
                    rightMargin: 15
                }
                spacing: 10

                Button {
                    id: shareButton

                    visible: meme.shareable && !meme.insideBunker
                    enabled: !meme.veiled
                    icon.source: "qrc:/icons/share.png"
                    padding: 16
                    font.pointSize: 16
                    ToolTip.text: "Share: copy picture (C), copy link (L), open post (O)"
                    ToolTip.visible: shareButton.hovered
                    ToolTip.delay: 500
                    Material.foreground: "#fff"
                    Material.background: Material.color(Material.Teal)
                    onClicked: meme.share()
                }

                Button {
                    id: cancelButton

                    text: meme.insideBunker ? "REMOVE" : "NORMIEEEE"
                    icon.source: "qrc:/icons/block.svg"
                    padding: 16
                    font.pointSize: 16
                    ToolTip.text: meme.insideBunker ? "Remove from the bunker (Delete)" : "Hide this meme (Delete)"
                    ToolTip.visible: cancelButton.hovered
                    ToolTip.delay: 500
                    Material.foreground: "#fff"
                    Material.background: Material.color(Material.Teal)
                    onClicked: meme.cancel()
                }

                Button {
                    id: confirmButton

                    text: meme.insideBunker ? "SHARE" : "SAVE"
                    enabled: !meme.veiled
                    icon.source: meme.insideBunker ? "qrc:/icons/share.png" : "qrc:/icons/crate.png"
                    padding: 16
                    font.pointSize: 16
                    ToolTip.text: meme.insideBunker ? "Share: copy picture (C), open (O), show in folder (F)"
                                                    : "Save to the bunker (S)"
                    ToolTip.visible: confirmButton.hovered
                    ToolTip.delay: 500
                    Material.foreground: "#fff"
                    Material.background: Material.color(Material.Teal)
                    onClicked: meme.confirm()
                }
            }
        }
    }

    Component {
        id: imgComponent

        Image {
            asynchronous: true
            source: meme.decodeWidthKnown ? meme.shownUrl : ""
            visible: !meme.veiled
            // A picture wider than the card is decoded at the card's width (in device pixels) instead
            // of at full size. Stretch, because with PreserveAspectFit Qt also enlarges a narrower
            // picture to sourceSize; the height below keeps the aspect ratio instead.
            fillMode: Image.Stretch
            sourceSize.width: meme.decodeWidth
            // Never wider than the picture itself: small pictures are not blown up.
            width: Math.min(col.width, implicitWidth)
            height: implicitWidth > 0 ? implicitHeight * width / implicitWidth : 0
        }
    }

    Component {
        id: animatedImgComponent

        AnimatedImage {
            asynchronous: true
            source: meme.shownUrl
            visible: !meme.veiled
            fillMode: Image.PreserveAspectFit
            width: Math.min(col.width, sourceSize.width)
        }
    }
}
