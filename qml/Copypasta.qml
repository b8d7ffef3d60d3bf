import QtQuick 2.12
import QtQuick.Controls 2.12
import QtQuick.Controls.Material 2.12
import QtQuick.Dialogs 1.3
import CopyPasta 1.0

ListView {
    id: copypastaPage

    function addCopypasta() {
        // Both checks always run so that both messages can show at once; blanks count as text.
        errTitleInput.visible = titleInput.text === ""
        errCptextTextarea.visible = cptextTextarea.text === ""
        if (errTitleInput.visible || errCptextTextarea.visible)
            return
        popupAddCp.close()
        copypasta.add(titleInput.text, cptextTextarea.text)
    }

    function copyText(text) {
        copypasta.toClipboard(text)
        window.showToast("Copypasta copied")
    }

    spacing: 30
    // The last card's buttons can always be scrolled clear of the add button.
    bottomMargin: addButton.height + addButton.anchors.bottomMargin
    model: copypastaModel

    delegate: CopypastaMaterial {
        id: card

        width: copypastaPage.width
        focusFrame: card.ListView.isCurrentItem && window.keyboardUsed
        title: modelData.title
        cptext: modelData.cptext

        onRemoveClicked: copypasta.remove(modelData, index)
        onCopyClicked: copypastaPage.copyText(modelData.cptext)
    }

    // Only a handle on the class-wide copypasta operations; its own fields stay empty.
    CopyPasta {
        id: copypasta
    }

    CardKeys {
        view: copypastaPage
        active: copypastaPage.StackView.status === StackView.Active

        onCopy: card.copyClicked()
        // Exactly what REMOVE does.
        onRemove: card.removeClicked()
    }

    Shortcut {
        sequence: "Ctrl+N"
        enabled: copypastaPage.StackView.status === StackView.Active
        onActivated: popupAddCp.open()
    }

    RoundButton {
        id: addButton

        // Parented to the list itself rather than its content, so it stays put while scrolling.
        parent: copypastaPage
        width: 72
        height: 72
        anchors {
            bottom: parent.bottom
            right: parent.right
            bottomMargin: 20
            rightMargin: 20
        }
        icon.source: "qrc:/icons/add.svg"
        ToolTip.text: "New copypasta (Ctrl+N)"
        ToolTip.visible: addButton.hovered
        ToolTip.delay: 500
        Material.background: Material.color(Material.Teal)
        Material.foreground: "#fff"
        onClicked: popupAddCp.open()
    }

    Popup {
        id: popupAddCp

        modal: true
        focus: true
        width: Math.min(window.width * 0.9, 400)
        anchors.centerIn: Overlay.overlay

        Column {
            anchors.fill: parent
            spacing: 20

            Label {
                anchors.horizontalCenter: parent.horizontalCenter
                horizontalAlignment: Text.AlignHCenter
                text: "New copypasta"
                font.pointSize: 18
                font.family: montserrat.name
            }

            Column {
                anchors {
                    left: parent.left
                    right: parent.right
                }

                Label {
                    text: "Title"
                }

                Label {
                    id: errTitleInput

                    text: "Your title is empty !"
                    color: Material.color(Material.Red)
                    visible: false
                }

                TextField {
                    id: titleInput

                    width: parent.width
                    placeholderText: "Richard and Mortimer"
                    placeholderTextColor: "#ccc"
                    hoverEnabled: false
                }
            }

            Column {
                anchors {
                    left: parent.left
                    right: parent.right
                }

                Label {
                    text: "Copypasta"
                }

                Label {
                    id: errCptextTextarea

                    text: "Your copypasta is empty !"
                    color: Material.color(Material.Red)
                    visible: false
                }

                Flickable {
                    id: cptextFlickable

                    anchors {
                        left: parent.left
                        right: parent.right
                    }
                    height: 100
                    clip: true
                    boundsBehavior: Flickable.StopAtBounds

                    TextArea.flickable: TextArea {
                        id: cptextTextarea

                        width: cptextFlickable.width
                        placeholderText: "To be fair, you have to have a very high IQ to understand Rick and Morty"
                        placeholderTextColor: "#ccc"
                        wrapMode: TextArea.Wrap
                        // The text, not the title, takes the keyboard when the popup opens.
                        focus: true
                    }
                }
            }

            Item {
                width: parent.width
                height: 55

                Row {
                    anchors {
                        top: parent.top
                        right: parent.right
                        topMargin: 15
                    }

                    ItemDelegate {
                        height: 40
                        text: "CANCEL"
                        hoverEnabled: false
                        Material.foreground: Material.Teal
                        onClicked: popupAddCp.close()
                    }

                    ItemDelegate {
                        height: 40
                        text: "SAVE"
                        hoverEnabled: false
                        Material.foreground: Material.Teal
                        onClicked: copypastaPage.addCopypasta()
                    }
                }
            }
        }
    }

    add: Transition {
        ParallelAnimation {
            NumberAnimation {
                property: "scale"
                from: 0
                to: 1
                duration: 200
            }

            NumberAnimation {
                property: "opacity"
                from: 0
                to: 1
                duration: 200
            }
        }
    }

    addDisplaced: Transition {
        NumberAnimation {
            properties: "x,y"
            duration: 500
            easing.type: Easing.OutBack
        }
    }

    remove: Transition {
        ParallelAnimation {
            NumberAnimation {
                property: "scale"
                from: 1
                to: 0
                duration: 200
            }

            NumberAnimation {
                property: "opacity"
                from: 1
                to: 0
                duration: 200
            }
        }
    }

    removeDisplaced: Transition {
        NumberAnimation {
            properties: "x,y"
            duration: 500
            easing.type: Easing.OutBack
        }
    }
}
