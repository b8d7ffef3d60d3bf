import QtQuick 2.12
import QtQuick.Controls 2.12
import Probe 1.0

// Reports once the window has really been drawn.
ApplicationWindow {
    id: window

    property bool reported: false

    visible: true
    width: 320
    height: 240

    onFrameSwapped: {
        if (window.reported)
            return
        window.reported = true
        console.log("PROBE shown=" + ProbeInfo.style + " rows=" + copypastaModel.rowCount())
        Qt.exit(0)
    }

    Button {
        text: "Jest Crate"
    }
}
