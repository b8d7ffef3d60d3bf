import QtQuick 2.12
import QtQuick.Controls 2.12

Item {
    Column {
        anchors.fill: parent

        Label {
            width: parent.width
            horizontalAlignment: Text.AlignHCenter
            font.pointSize: 18
            text: "Jest crate version " + window.version
        }
    }
}
