import QtQuick 2.12
import ShareManager 1.0

// Reports whether a ShareManager made by a document has the desktop's share facility.
QtObject {
    property ShareManager shareManager: ShareManager {
    }

    Component.onCompleted: {
        console.log("PROBE desktop=" + shareManager.desktop)
        Qt.exit(0)
    }
}
