import QtQuick 2.12
import QtQuick.Controls 2.12
import Bunker 1.0
import CopyPasta 1.0
import Probe 1.0
import Reddit 1.0
import ShareManager 1.0

// Reports what start-up prepared before this document was created: the Controls style in use and
// the stored copypastas, and whether a ShareManager has the desktop's share facility. Adds one through the QML element, to show that the service already knows
// the model, then receives SIGTERM while still loading: the event loop must end it normally.
Item {
    id: root

    property var titlesAtCreation: root.titles()
    property CopyPasta service: CopyPasta {
    }
    property ShareManager shareManager: ShareManager {
    }

    function titles() {
        var result = []
        for (var row = 0; row < copypastaModel.rowCount(); ++row)
            result.push(copypastaModel.data(copypastaModel.index(row, 0), 257).title)
        return result
    }

    Button {
        id: button
    }

    Component.onCompleted: {
        console.log("PROBE style=" + ProbeInfo.style)
        console.log("PROBE source=" + ProbeInfo.sourceOf(button.background))
        console.log("PROBE created=" + JSON.stringify(root.titlesAtCreation))
        console.log("PROBE desktop=" + root.shareManager.desktop)
        root.service.add("from QML", "added")
        console.log("PROBE afterAdd=" + JSON.stringify(root.titles()))
        ProbeInfo.raiseSignal(15)
    }
}
