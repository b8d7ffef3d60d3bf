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
    Component.onCompleted: meme.growDecodeWidth()

    // Around the whole card: the pane's content sits inside its padding.
    Rectangle {
        anchors {
            fill: parent
            margins: -meme.padding + 3
        }
        z: 1
        visible: meme.focusFrame
        color: "transparent"
        radius: 2
        border {
            width: 2
            color: meme.Material.accent
        }
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
                brightness: globalSettings.decreaseBrightness && globalSettings.themeMode === Material.Dark ? -0.5 : 0
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
            source: meme.decodeWidthKnown ? meme.url : ""
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
            source: meme.url
            fillMode: Image.PreserveAspectFit
            width: Math.min(col.width, sourceSize.width)
        }
    }
}
