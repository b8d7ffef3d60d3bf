import QtQuick 2.12

// Says "ready" once the event loop runs, then waits to be ended from outside.
Item {
    Timer {
        running: true
        interval: 0
        onTriggered: console.log("PROBE ready")
    }
}
