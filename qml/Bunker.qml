import QtQuick 2.12
import QtQuick.Controls 2.12
import QtQuick.Controls.Material 2.12

ListView {
    id: bunkerPage

    // Every meme lives in the same folder: its encoded form is worked out once, not per meme.
    property var encodedFolders: ({})

    // A proper file URL for a local path. "file:/" + "/home/x" would read "home" as a host name
    // (lower-cased, and dropped on some platforms), and '#', '?' or '%' in a folder name would
    // cut the path short; each segment is therefore percent-encoded.
    function encodePath(path) {
        var segments = path.split("/")
        for (var i = 0; i < segments.length; i++)
            segments[i] = encodeURIComponent(segments[i]).replace(/%3A/g, ":")
        var encoded = segments.join("/")
        return encoded.charAt(0) === "/" ? "file://" + encoded : "file:///" + encoded
    }

    function fileUrl(path) {
        var folderEnd = path.lastIndexOf("/") + 1
        var folder = path.substring(0, folderEnd)
        var encodedFolder = bunkerPage.encodedFolders[folder]
        if (encodedFolder === undefined) {
            encodedFolder = bunkerPage.encodePath(folder)
            bunkerPage.encodedFolders[folder] = encodedFolder
        }
        return encodedFolder + encodeURIComponent(path.substring(folderEnd)).replace(/%3A/g, ":")
    }

    function memeRow(meme) {
        return {
            "title": meme.title,
            "path": meme.source,
            "url": bunkerPage.fileUrl(meme.source),
            "uuid": meme.uuid,
            "animated": meme.animated
        }
    }

    // A card that changes height while others move aside (a new card shrinks once its picture
    // has loaded) leaves them where the move was aimed: ListView does not re-place items in
    // transition. Changing a layout property makes it place every card again.
    function relayout() {
        bunkerPage.displayMarginBeginning = 1
        bunkerPage.displayMarginBeginning = 0
    }

    function fillWithMemes(reply) {
        var memes = JSON.parse(reply)
        var rows = []
        for (var i = 0; i < memes.length; i++)
            rows.push(bunkerPage.memeRow(memes[i]))
        // One append of the whole array: the view hears of one insertion, not one per meme.
        memeModel.append(rows)
    }

    // The row of a listed meme, or the end of the list.
    function rowOf(uuid) {
        for (var i = 0; i < memeModel.count; i++) {
            if (memeModel.get(i).uuid === uuid)
                return i
        }
        return memeModel.count
    }

    function isListed(uuid) {
        return bunkerPage.rowOf(uuid) < memeModel.count
    }

    function memeSaved(success) {
        if (!success) {
            errorPopup.open()
            return
        }
        var newest = JSON.parse(bunker.load(true))[0]
        // Keys order memes by the second only: of two saved within one second the older one may
        // come first, so look further rather than show it twice.
        if (newest !== undefined && bunkerPage.isListed(newest.uuid)) {
            var memes = JSON.parse(bunker.load())
            newest = undefined
            for (var i = 0; i < memes.length && newest === undefined; i++) {
                if (!bunkerPage.isListed(memes[i].uuid))
                    newest = memes[i]
            }
        }
        if (newest === undefined)
            return
        memeModel.insert(0, bunkerPage.memeRow(newest))
        console.debug("added")
    }

    function removeMeme(row) {
        var meme = memeModel.get(row)
        var removed = {
            "title": meme.title,
            "path": meme.path,
            "url": meme.url,
            "uuid": meme.uuid,
            "animated": meme.animated
        }
        // One removal can be undone at a time: the one before stands once another follows.
        undoBar.close()
        memeModel.remove(row)
        bunker.remove(removed.uuid)
        // Its place is kept by the card that followed it: a meme saved meanwhile goes on top.
        undoBar.offer(removed, row < memeModel.count ? memeModel.get(row).uuid : "")
    }

    function undoRemoval() {
        var row = bunkerPage.rowOf(undoBar.followingUuid)
        var removed = undoBar.dismiss()
        if (removed !== null && bunker.undoRemove(removed.uuid))
            memeModel.insert(row, removed)
    }

    // On the desktop SHARE offers a menu; a platform with a share sheet shares straight away.
    function share(card, path) {
        if (!shareManager.desktop) {
            shareManager.shareMeme(path)
            return
        }
        shareMenu.path = path
        shareMenu.openUnder(card.confirmButton)
    }

    function copyPicture(path) {
        window.showToast(shareManager.copyPicture(path) ? "Picture copied" : "Could not copy the picture")
    }

    function openPicture(path) {
        window.showToast(shareManager.openPicture(path) ? "Opening the picture" : "Could not open the picture")
    }

    function showInFolder(path) {
        window.showToast(shareManager.showInFolder(path) ? "Showing the picture in its folder"
                                                         : "Could not show the folder")
    }

    function addMeme() {
        // Both checks always run so that both messages can show at once; blanks count as text.
        errTitleInput.visible = titleInput.text === ""
        errMemeUrl.visible = memeUrl.text === ""
        if (errTitleInput.visible || errMemeUrl.visible)
            return
        popupAddMeme.close()
        bunker.saveFromUrl(titleInput.text, memeUrl.text)
    }

    spacing: 30
    // The last card's buttons can always be scrolled clear of the add button.
    bottomMargin: addButton.height + addButton.anchors.bottomMargin
    model: memeModel

    // The bunker outlives the page: without the explicit disconnection a save finishing after
    // the page is gone would still run this page's handler.
    Component.onCompleted: {
        bunkerPage.fillWithMemes(bunker.load())
        bunker.imageSaved.connect(bunkerPage.memeSaved)
    }
    Component.onDestruction: bunker.imageSaved.disconnect(bunkerPage.memeSaved)

    delegate: Meme {
        id: card

        readonly property string path: model.path

        width: bunkerPage.width
        title: model.title
        url: model.url
        uuid: model.uuid
        animated: model.animated
        insideBunker: true
        focusFrame: card.ListView.isCurrentItem && window.keyboardUsed

        onConfirm: bunkerPage.share(card, card.path)
        onCancel: bunkerPage.removeMeme(index)
    }

    ListModel {
        id: memeModel
    }

    CardKeys {
        view: bunkerPage
        active: bunkerPage.StackView.status === StackView.Active

        onCopy: bunkerPage.copyPicture(card.path)
        onOpen: bunkerPage.openPicture(card.path)
        onShowInFolder: bunkerPage.showInFolder(card.path)
        // Exactly what REMOVE does.
        onRemove: card.cancel()
    }

    Shortcut {
        sequence: "Ctrl+N"
        enabled: bunkerPage.StackView.status === StackView.Active
        onActivated: popupAddMeme.open()
    }

    ButtonMenu {
        id: shareMenu

        property string path: ""

        objectName: "shareMenu"

        KeyMenuItem {
            text: "Copy picture"
            key: "C"
            onTriggered: bunkerPage.copyPicture(shareMenu.path)
        }

        KeyMenuItem {
            text: "Open"
            key: "O"
            onTriggered: bunkerPage.openPicture(shareMenu.path)
        }

        KeyMenuItem {
            text: "Show in folder"
            key: "F"
            onTriggered: bunkerPage.showInFolder(shareMenu.path)
        }
    }

    RoundButton {
        id: addButton

        // Parented to the list itself rather than its content, so it stays put while scrolling.
        parent: bunkerPage
        width: 72
        height: 72
        anchors {
            bottom: parent.bottom
            right: parent.right
            bottomMargin: 20
            rightMargin: 20
        }
        icon.source: "qrc:/icons/add.svg"
        ToolTip.text: "Add a meme (Ctrl+N)"
        ToolTip.visible: addButton.hovered
        ToolTip.delay: 500
        Material.background: Material.color(Material.Teal)
        Material.foreground: "#fff"
        onClicked: popupAddMeme.open()
    }

    // Shown for a few seconds after REMOVE. When it closes the removal stands and the files go
    // to the trash; leaving the page closes it too.
    Pane {
        id: undoBar

        // The removed meme's row, as it was in the list; null while the bar is closed.
        property var removed: null
        // The meme that followed it, or "" when it was the last.
        property string followingUuid: ""

        function offer(meme, followingUuid) {
            undoBar.removed = meme
            undoBar.followingUuid = followingUuid
            undoTimer.restart()
        }

        // Hides the bar; the meme it offered is the caller's to put back or let go.
        function dismiss() {
            var removed = undoBar.removed
            undoBar.removed = null
            undoTimer.stop()
            return removed
        }

        function close() {
            var removed = undoBar.dismiss()
            // Gone already when the whole window closes; the bunker then puts the meme back.
            if (removed !== null && bunker)
                bunker.confirmRemove(removed.uuid)
        }

        // Like the add button, over the list rather than inside its content.
        parent: bunkerPage
        visible: undoBar.removed !== null
        width: Math.min(400, bunkerPage.width - addButton.width - 60)
        anchors {
            left: parent.left
            verticalCenter: addButton.verticalCenter
            leftMargin: 20
        }
        contentHeight: undoButton.implicitHeight
        padding: 6
        leftPadding: 16
        Material.elevation: 6
        Material.background: "#323232"
        Material.theme: Material.Dark

        Component.onDestruction: undoBar.close()

        Label {
            anchors {
                left: parent.left
                right: undoButton.left
                verticalCenter: parent.verticalCenter
            }
            text: "Meme removed"
            elide: Text.ElideRight
        }

        Button {
            id: undoButton

            anchors {
                right: parent.right
                verticalCenter: parent.verticalCenter
            }
            text: "UNDO"
            flat: true
            Material.foreground: Material.color(Material.Teal, Material.Shade200)
            onClicked: bunkerPage.undoRemoval()
        }

        Timer {
            id: undoTimer

            interval: 5000
            onTriggered: undoBar.close()
        }
    }

    Popup {
        id: errorPopup

        modal: true
        focus: true
        width: Math.min(window.width * 0.9, 400)
        anchors.centerIn: Overlay.overlay

        Column {
            anchors.centerIn: parent
            width: parent.width
            spacing: 20

            Label {
                anchors.horizontalCenter: parent.horizontalCenter
                horizontalAlignment: Text.AlignHCenter
                text: "Can't add your meme"
                font.pointSize: 18
                font.family: montserrat.name
            }

            Label {
                anchors.horizontalCenter: parent.horizontalCenter
                horizontalAlignment: Text.AlignHCenter
                text: "Invalid URL specified :S"
                font.pointSize: 14
                bottomPadding: 20
            }
        }
    }

    Popup {
        id: popupAddMeme

        objectName: "addMemePopup"
        modal: true
        focus: true
        width: Math.min(window.width * 0.9, 400)
        anchors.centerIn: Overlay.overlay

        Column {
            anchors.fill: parent
            spacing: 20

            Label {
                anchors.horizontalCenter: parent.horizontalCenter
                horizontalAlignment: Text.AlignHCenter
                text: "Add a meme"
                font.pointSize: 18
                font.family: montserrat.name
            }

            Column {
                anchors {
                    left: parent.left
                    right: parent.right
                }

                Label {
                    text: "Title"
                }

                Label {
                    id: errTitleInput

                    text: "Your title is empty !"
                    color: Material.color(Material.Red)
                    visible: false
                }

                TextField {
                    id: titleInput

                    width: parent.width
                    placeholderText: "PepeHands"
                    placeholderTextColor: "#ccc"
                    hoverEnabled: false
                }
            }

            Column {
                anchors {
                    left: parent.left
                    right: parent.right
                }

                Label {
                    text: "Image url"
                }

                Label {
                    id: errMemeUrl

                    text: "Your meme url is empty !"
                    color: Material.color(Material.Red)
                    visible: false
                }

                TextField {
                    id: memeUrl

                    width: parent.width
                    placeholderText: "https://i.imgur.com/example.gif"
                    placeholderTextColor: "#ccc"
                    hoverEnabled: false
                }
            }

            Item {
                width: parent.width
                height: 55

                Row {
                    anchors {
                        top: parent.top
                        right: parent.right
                        topMargin: 15
                    }

                    ItemDelegate {
                        height: 40
                        text: "CANCEL"
                        hoverEnabled: false
                        Material.foreground: Material.Teal
                        onClicked: popupAddMeme.close()
                    }

                    ItemDelegate {
                        height: 40
                        text: "SAVE"
                        hoverEnabled: false
                        Material.foreground: Material.Teal
                        onClicked: bunkerPage.addMeme()
                    }
                }
            }
        }
    }

    addDisplaced: Transition {
        SequentialAnimation {
            NumberAnimation {
                properties: "x,y"
                duration: 500
                easing.type: Easing.OutBack
            }

            ScriptAction {
                script: bunkerPage.relayout()
            }
        }
    }

    remove: Transition {
        ParallelAnimation {
            NumberAnimation {
                property: "scale"
                from: 1
                to: 0
                duration: 200
            }

            NumberAnimation {
                property: "opacity"
                from: 1
                to: 0
                duration: 200
            }
        }
    }

    removeDisplaced: Transition {
        SequentialAnimation {
            NumberAnimation {
                properties: "x,y"
                duration: 500
                easing.type: Easing.OutBack
            }

            ScriptAction {
                script: bunkerPage.relayout()
            }
        }
    }
}
