import QtQuick 2.12
import QtQuick.Controls 2.12
import QtQuick.Controls.Material 2.12

ApplicationWindow {
    visible: true
    width: 800
    height: 600

    Label {
        anchors.centerIn: parent
        text: "Jest Crate"
    }
}
