import QtQuick 2.12
import QtQuick.Controls 2.12

// A menu entry that shows, on its right, the key that does the same without the menu.
MenuItem {
    id: keyMenuItem

    property string key: ""

    // A menu hides an entry by giving it no height; its text must not spill onto the next one.
    clip: true
    contentItem: Item {
        implicitWidth: label.implicitWidth + keyLabel.implicitWidth + 40
        implicitHeight: label.implicitHeight

        Label {
            id: label

            anchors {
                left: parent.left
                verticalCenter: parent.verticalCenter
            }
            text: keyMenuItem.text
            font: keyMenuItem.font
            opacity: keyMenuItem.enabled ? 1 : 0.38
        }

        Label {
            id: keyLabel

            anchors {
                right: parent.right
                verticalCenter: parent.verticalCenter
            }
            text: keyMenuItem.key
            font: keyMenuItem.font
            opacity: 0.6
        }
    }
}
