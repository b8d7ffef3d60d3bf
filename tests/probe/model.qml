import QtQuick 2.12
import Bunker 1.0
import CopyPasta 1.0
import Reddit 1.0
import ShareManager 1.0

// Reports what "copypastaModel" held while this document was being created, then adds one
// copypasta through the QML element to show that the service already knows the model.
QtObject {
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

    Component.onCompleted: {
        console.log("PROBE created=" + JSON.stringify(root.titlesAtCreation))
        root.service.add("from QML", "added")
        console.log("PROBE afterAdd=" + JSON.stringify(root.titles()))
        Qt.exit(0)
    }
}
