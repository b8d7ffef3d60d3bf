import QtQuick 2.12

Item {
    Component.onCompleted: console.log("PROBE created")
    width: 10 +
}
