import QtQuick 2.12
import Probe 1.0

// Receives SIGTERM while still loading, before the event loop runs.
Item {
    Component.onCompleted: {
        ProbeInfo.raiseSignal(15)
        console.log("PROBE raised")
    }
}
