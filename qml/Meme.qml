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

    signal confirm()
    signal cancel()

    Material.elevation: 6
    contentWidth: col.implicitWidth
    contentHeight: col.implicitHeight

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

            width: col.width
            height: pictureArea.pictureReady ? imgLoader.item.height : 200

            BusyIndicator {
                anchors.centerIn: parent
                running: imgLoader.item !== null && imgLoader.item.status === Image.Loading
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
                    text: meme.insideBunker ? "REMOVE" : "NORMIEEEE"
                    icon.source: "qrc:/icons/block.svg"
                    padding: 16
                    font.pointSize: 16
                    Material.foreground: "#fff"
                    Material.background: Material.color(Material.Teal)
                    onClicked: meme.cancel()
                }

                Button {
                    text: meme.insideBunker ? "SHARE" : "SAVE"
                    icon.source: meme.insideBunker ? "qrc:/icons/share.png" : "qrc:/icons/crate.png"
                    padding: 16
                    font.pointSize: 16
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
            source: meme.url
            fillMode: Image.PreserveAspectFit
            // Never wider than the picture itself: small pictures are not blown up.
            width: Math.min(col.width, sourceSize.width)
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
