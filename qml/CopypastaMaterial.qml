import QtQuick 2.12
import QtQuick.Controls 2.12
import QtQuick.Controls.Material 2.12

Pane {
    id: copypasta

    property string title
    property string cptext
    // Set by the list on its current card once the keyboard has been used.
    property bool focusFrame: false

    signal copyClicked
    signal removeClicked

    width: parent ? parent.width : implicitWidth
    // Given, because with the focus frame beside it the column is no longer the only child that
    // the pane would take its size from.
    contentWidth: content.implicitWidth
    contentHeight: content.implicitHeight
    Material.elevation: 6

    FocusFrame {
        card: copypasta
        visible: copypasta.focusFrame
    }

    Column {
        id: content

        anchors.fill: parent

        Item {
            width: parent.width
            height: 70

            Label {
                anchors {
                    left: parent.left
                    right: parent.right
                    top: parent.top
                }
                padding: 20
                horizontalAlignment: Text.AlignHCenter
                font.pointSize: 16
                font.family: montserrat.name
                // Copypastas are typed by the user: never interpret them as markup.
                textFormat: Text.PlainText
                text: copypasta.title
                wrapMode: Text.Wrap
            }
        }

        Label {
            id: cptextLabel

            width: parent.width
            textFormat: Text.PlainText
            text: copypasta.cptext
            wrapMode: Text.Wrap
            elide: Text.ElideRight
            // 0 stands for "No limit"; undefined resets the label to its unlimited default.
            maximumLineCount: copypastaSettings.lineNumber > 0 ? copypastaSettings.lineNumber : undefined
        }

        Item {
            width: parent.width
            height: 80

            Row {
                anchors {
                    top: parent.top
                    right: parent.right
                    topMargin: 15
                    rightMargin: 15
                }
                spacing: 10

                Button {
                    id: removeButton

                    padding: 16
                    font.pointSize: 16
                    text: "REMOVE"
                    ToolTip.text: "Remove this copypasta (Delete)"
                    ToolTip.visible: removeButton.hovered
                    ToolTip.delay: 500
                    icon.source: "qrc:/icons/block.svg"
                    Material.foreground: "#fff"
                    Material.background: Material.color(Material.Teal)
                    onClicked: copypasta.removeClicked()
                }

                Button {
                    id: copyButton

                    padding: 16
                    font.pointSize: 16
                    text: "COPY"
                    ToolTip.text: "Copy the text (C)"
                    ToolTip.visible: copyButton.hovered
                    ToolTip.delay: 500
                    icon.source: "qrc:/icons/copy.png"
                    Material.foreground: "#fff"
                    Material.background: Material.color(Material.Teal)
                    onClicked: copypasta.copyClicked()
                }
            }
        }
    }
}
