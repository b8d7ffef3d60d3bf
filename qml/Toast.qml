import QtQuick 2.12
import QtQuick.Controls 2.12
import QtQuick.Controls.Material 2.12

// A short confirmation at the bottom of the window ("Picture copied") that fades by itself; a
// new one replaces the one still showing.
Pane {
    id: toast

    property string text: ""

    function show(message) {
        toast.text = message
        fade.restart()
    }

    anchors {
        horizontalCenter: parent.horizontalCenter
        bottom: parent.bottom
        bottomMargin: 32
    }
    padding: 12
    leftPadding: 20
    rightPadding: 20
    opacity: 0
    visible: toast.opacity > 0
    Material.elevation: 4
    Material.background: Material.theme === Material.Light ? "#323232" : "#e0e0e0"

    Label {
        id: message

        text: toast.text
        font.pointSize: 12
        color: toast.Material.theme === Material.Light ? "#fff" : "#000"
    }

    SequentialAnimation {
        id: fade

        NumberAnimation {
            target: toast
            property: "opacity"
            to: 1
            duration: 150
        }

        PauseAnimation {
            duration: 2000
        }

        NumberAnimation {
            target: toast
            property: "opacity"
            to: 0
            duration: 500
        }
    }
}
