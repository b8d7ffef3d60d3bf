import QtQuick 2.12
import QtQuick.Controls 2.12
import Probe 1.0

// Reports the style name start-up chose and the folder the Button implementation came from.
Item {
    Button {
        id: button
    }

    Component.onCompleted: {
        console.log("PROBE style=" + ProbeInfo.style)
        console.log("PROBE source=" + ProbeInfo.sourceOf(button.background))
        Qt.exit(0)
    }
}
