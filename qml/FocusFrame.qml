import QtQuick 2.12
import QtQuick.Controls 2.12
import QtQuick.Controls.Material 2.12

// The frame around the current card of a list once the keyboard has been used, drawn around the
// whole card: a pane's content sits inside its padding, so the frame reaches back over it.
Rectangle {
    id: focusFrame

    property Pane card: null

    anchors {
        fill: parent
        margins: -focusFrame.card.padding + 3
    }
    z: 1
    color: "transparent"
    radius: 2
    border {
        width: 2
        color: focusFrame.card.Material.accent
    }
}
