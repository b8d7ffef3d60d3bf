import QtQuick 2.12
import QtQuick.Controls 2.12
import QtQuick.Controls.Material 2.12
import QtQuick.Layouts 1.12
import DiskCache 1.0

ColumnLayout {
    id: settingsLayout

    // Tells the main window to show a back arrow and to pop this page on back.
    property bool submenu: true
    // Whether the feed below (the bottom page of the stack) reads the board's Atom form.
    readonly property bool feedFromAtom: {
        var view = settingsLayout.StackView.view
        var feed = view ? view.get(0, StackView.DontLoad) : null
        return feed !== null && feed.fromAtom === true
    }

    function sizeText(bytes) {
        if (bytes < 1024 * 1024)
            return Math.round(bytes / 1024) + " KiB"
        return (bytes / (1024 * 1024)).toFixed(1) + " MiB"
    }

    spacing: 0

    TabBar {
        id: settingsBar

        Layout.fillWidth: true
        spacing: 0
        font.pointSize: 12
        Material.elevation: 6
        Material.accent: "#fff"
        Material.background: Material.color(Material.Teal)

        onCurrentIndexChanged: {
            if (settingsSwipeView.currentIndex !== settingsBar.currentIndex)
                settingsSwipeView.currentIndex = settingsBar.currentIndex
        }

        Repeater {
            model: ["General", "Trending", "Bunker", "Copypasta"]

            TabButton {
                // Never narrower than 150: on a narrow window the bar scrolls instead.
                width: Math.max(settingsLayout.width / 4, 150)
                text: modelData
                font.pointSize: 12
            }
        }
    }

    SwipeView {
        id: settingsSwipeView

        Layout.fillWidth: true
        Layout.fillHeight: true

        onCurrentIndexChanged: {
            if (settingsBar.currentIndex !== settingsSwipeView.currentIndex)
                settingsBar.currentIndex = settingsSwipeView.currentIndex
        }

        Column {
            id: generalTab

            ItemDelegate {
                id: themeRow

                height: 50
                anchors {
                    left: parent.left
                    right: parent.right
                }
                onClicked: themeChooser.open()

                RowLayout {
                    anchors.fill: parent

                    Label {
                        Layout.fillWidth: true
                        Layout.fillHeight: true
                        leftPadding: 15
                        verticalAlignment: Text.AlignVCenter
                        font.pointSize: 14
                        text: "Theme (experimental)"
                    }

                    Label {
                        Layout.fillHeight: true
                        rightPadding: 15
                        verticalAlignment: Text.AlignVCenter
                        font.pointSize: 14
                        text: themeGroup.checkedButton ? themeGroup.checkedButton.text : ""
                    }
                }

                ButtonGroup {
                    id: themeGroup
                }

                Popup {
                    id: themeChooser

                    modal: true
                    padding: 0
                    margins: 0
                    width: Math.min(themeRow.width * 0.9, 400)
                    anchors.centerIn: Overlay.overlay

                    Column {
                        anchors.fill: parent

                        Label {
                            anchors.horizontalCenter: parent.horizontalCenter
                            padding: 10
                            font.pointSize: 16
                            font.family: montserrat.name
                            text: "Theme"
                        }

                        Label {
                            anchors.horizontalCenter: parent.horizontalCenter
                            horizontalAlignment: Text.AlignHCenter
                            font.pointSize: 12
                            text: "Restart required to apply the changes.\nMaterial is the only 100% working theme."
                        }

                        Repeater {
                            model: ["Classic", "Fusion", "Imagine", "Material", "Universal"]

                            RadioDelegate {
                                anchors {
                                    left: parent.left
                                    right: parent.right
                                }
                                hoverEnabled: false
                                text: modelData
                                checked: modelData === globalSettings.theme
                                ButtonGroup.group: themeGroup
                                onClicked: {
                                    globalSettings.theme = themeGroup.checkedButton.text
                                    themeChooser.close()
                                }
                            }
                        }
                    }
                }
            }

            SwitchDelegate {
                id: darkModeSwitch

                height: 50
                anchors {
                    left: parent.left
                    right: parent.right
                }
                font.pointSize: 14
                text: "Dark mode"
                checked: globalSettings.themeMode === Material.Dark
                // System rather than Light when off, so that the platform's own choice applies again.
                onToggled: globalSettings.themeMode = darkModeSwitch.checked ? Material.Dark : Material.System
            }

            SwitchDelegate {
                id: brightnessSwitch

                height: 50
                anchors {
                    left: parent.left
                    right: parent.right
                }
                font.pointSize: 14
                text: "Decrease meme brightness in dark mode"
                checked: globalSettings.decreaseBrightness
                onToggled: globalSettings.decreaseBrightness = brightnessSwitch.checked
            }

            Item {
                id: cacheRow

                height: 50
                anchors {
                    left: parent.left
                    right: parent.right
                }

                DiskCache {
                    id: diskCache
                }

                RowLayout {
                    anchors.fill: parent

                    Label {
                        Layout.fillWidth: true
                        Layout.fillHeight: true
                        leftPadding: 15
                        verticalAlignment: Text.AlignVCenter
                        font.pointSize: 14
                        text: "Cache of memes and feeds"
                    }

                    Label {
                        Layout.fillHeight: true
                        verticalAlignment: Text.AlignVCenter
                        font.pointSize: 14
                        text: settingsLayout.sizeText(diskCache.size)
                    }

                    Button {
                        Layout.rightMargin: 15
                        flat: true
                        text: "CLEAR"
                        Material.foreground: Material.Teal
                        onClicked: diskCache.clear()
                    }
                }
            }
        }

        Column {
            id: trendingTab

            ItemDelegate {
                id: memeNumberRow

                height: 50
                anchors {
                    left: parent.left
                    right: parent.right
                }
                onClicked: memesPerPush.open()

                RowLayout {
                    anchors.fill: parent

                    Label {
                        Layout.fillWidth: true
                        Layout.fillHeight: true
                        leftPadding: 15
                        verticalAlignment: Text.AlignVCenter
                        font.pointSize: 14
                        text: "New memes per button push"
                    }

                    Label {
                        Layout.fillHeight: true
                        rightPadding: 15
                        verticalAlignment: Text.AlignVCenter
                        font.pointSize: 14
                        text: memeNumberGroup.checkedButton ? memeNumberGroup.checkedButton.text : ""
                    }
                }

                ButtonGroup {
                    id: memeNumberGroup
                }

                Popup {
                    id: memesPerPush

                    modal: true
                    padding: 0
                    margins: 0
                    width: Math.min(memeNumberRow.width * 0.9, 400)
                    anchors.centerIn: Overlay.overlay

                    Column {
                        anchors.fill: parent

                        Label {
                            anchors.horizontalCenter: parent.horizontalCenter
                            padding: 10
                            font.pointSize: 16
                            font.family: montserrat.name
                            text: "New memes per push"
                        }

                        Repeater {
                            model: ["10 memes", "25 memes", "50 memes", "75 memes", "100 memes"]

                            RadioDelegate {
                                anchors {
                                    left: parent.left
                                    right: parent.right
                                }
                                hoverEnabled: false
                                text: modelData
                                checked: parseInt(modelData) === trendingSettings.number
                                ButtonGroup.group: memeNumberGroup
                                onClicked: {
                                    trendingSettings.number = parseInt(text)
                                    memesPerPush.close()
                                }
                            }
                        }
                    }
                }
            }

            ItemDelegate {
                id: sortRow

                height: 50
                anchors {
                    left: parent.left
                    right: parent.right
                }
                onClicked: sortByPopup.open()

                RowLayout {
                    anchors.fill: parent

                    Label {
                        Layout.fillWidth: true
                        Layout.fillHeight: true
                        leftPadding: 15
                        verticalAlignment: Text.AlignVCenter
                        font.pointSize: 14
                        text: "Sort by"
                    }

                    Label {
                        Layout.fillHeight: true
                        rightPadding: 15
                        verticalAlignment: Text.AlignVCenter
                        font.pointSize: 14
                        text: trendingSettings.sort
                    }
                }

                Popup {
                    id: sortByPopup

                    modal: true
                    padding: 0
                    margins: 0
                    width: Math.min(sortRow.width * 0.9, 400)
                    anchors.centerIn: Overlay.overlay

                    Column {
                        anchors.fill: parent

                        Label {
                            anchors.horizontalCenter: parent.horizontalCenter
                            padding: 10
                            font.pointSize: 16
                            font.family: montserrat.name
                            text: "Sort by ..."
                        }

                        // Sibling radio buttons are exclusive by themselves.
                        Repeater {
                            model: ["controversial", "hot", "new", "top"]

                            RadioDelegate {
                                anchors {
                                    left: parent.left
                                    right: parent.right
                                }
                                hoverEnabled: false
                                text: modelData
                                checked: modelData === trendingSettings.sort
                                onClicked: {
                                    trendingSettings.sort = text
                                    sortByPopup.close()
                                }
                            }
                        }
                    }
                }
            }

            ItemDelegate {
                id: nsfwRow

                height: nsfwNote.visible ? 50 + nsfwNote.height : 50
                anchors {
                    left: parent.left
                    right: parent.right
                }
                onClicked: nsfwPopup.open()

                RowLayout {
                    anchors {
                        left: parent.left
                        right: parent.right
                        top: parent.top
                    }
                    height: 50

                    Label {
                        Layout.fillWidth: true
                        Layout.fillHeight: true
                        leftPadding: 15
                        verticalAlignment: Text.AlignVCenter
                        font.pointSize: 14
                        text: "NSFW memes"
                    }

                    Label {
                        Layout.fillHeight: true
                        rightPadding: 15
                        verticalAlignment: Text.AlignVCenter
                        font.pointSize: 14
                        text: nsfwPopup.nameOf(trendingSettings.nsfw)
                    }
                }

                Label {
                    id: nsfwNote

                    anchors {
                        left: parent.left
                        right: parent.right
                        bottom: parent.bottom
                    }
                    visible: settingsLayout.feedFromAtom
                    leftPadding: 15
                    rightPadding: 15
                    bottomPadding: 8
                    wrapMode: Text.Wrap
                    font.pointSize: 11
                    opacity: 0.7
                    text: "The feed comes through the board's Atom feed, which does not mark NSFW posts: they are shown like any other."
                }

                Popup {
                    id: nsfwPopup

                    // Stored in lower case, as the sort order is.
                    function nameOf(value) {
                        var names = { "blurred": "Blurred", "hidden": "Hidden", "shown": "Shown" }
                        return names.hasOwnProperty(value) ? names[value] : ""
                    }

                    modal: true
                    padding: 0
                    margins: 0
                    width: Math.min(nsfwRow.width * 0.9, 400)
                    anchors.centerIn: Overlay.overlay

                    Column {
                        anchors.fill: parent

                        Label {
                            anchors.horizontalCenter: parent.horizontalCenter
                            padding: 10
                            font.pointSize: 16
                            font.family: montserrat.name
                            text: "NSFW memes"
                        }

                        Label {
                            anchors.horizontalCenter: parent.horizontalCenter
                            horizontalAlignment: Text.AlignHCenter
                            font.pointSize: 12
                            text: "Blurred and Hidden apply to new cards.\nSpoilers are blurred unless Shown."
                        }

                        Repeater {
                            model: ["Blurred", "Hidden", "Shown"]

                            RadioDelegate {
                                anchors {
                                    left: parent.left
                                    right: parent.right
                                }
                                hoverEnabled: false
                                text: modelData
                                checked: modelData === nsfwPopup.nameOf(trendingSettings.nsfw)
                                onClicked: {
                                    trendingSettings.nsfw = text.toLowerCase()
                                    nsfwPopup.close()
                                }
                            }
                        }
                    }
                }
            }

            ItemDelegate {
                id: clientIdRow

                height: 50
                anchors {
                    left: parent.left
                    right: parent.right
                }
                onClicked: {
                    clientIdInput.text = trendingSettings.clientId
                    clientIdPopup.open()
                }

                RowLayout {
                    anchors.fill: parent

                    Label {
                        Layout.fillWidth: true
                        Layout.fillHeight: true
                        leftPadding: 15
                        verticalAlignment: Text.AlignVCenter
                        font.pointSize: 14
                        text: "Forum API client ID"
                    }

                    Label {
                        Layout.fillHeight: true
                        Layout.maximumWidth: clientIdRow.width / 2
                        rightPadding: 15
                        verticalAlignment: Text.AlignVCenter
                        elide: Text.ElideMiddle
                        textFormat: Text.PlainText
                        font.pointSize: 14
                        text: trendingSettings.clientId === "" ? "None" : trendingSettings.clientId
                    }
                }

                Popup {
                    id: clientIdPopup

                    function store() {
                        trendingSettings.clientId = clientIdInput.text.trim()
                        clientIdPopup.close()
                    }

                    modal: true
                    focus: true
                    padding: 0
                    margins: 0
                    width: Math.min(clientIdRow.width * 0.9, 400)
                    anchors.centerIn: Overlay.overlay

                    Column {
                        anchors {
                            left: parent.left
                            right: parent.right
                        }

                        Label {
                            anchors.horizontalCenter: parent.horizontalCenter
                            padding: 10
                            font.pointSize: 16
                            font.family: montserrat.name
                            text: "Forum API client ID"
                        }

                        Label {
                            width: parent.width
                            leftPadding: 15
                            rightPadding: 15
                            wrapMode: Text.Wrap
                            horizontalAlignment: Text.AlignHCenter
                            font.pointSize: 12
                            text: "The ID of an installed app registered with the forum.\nLeave it empty to read the public feed anonymously."
                        }

                        TextField {
                            id: clientIdInput

                            anchors {
                                left: parent.left
                                right: parent.right
                                margins: 15
                            }
                            focus: true
                            hoverEnabled: false
                            placeholderText: "None"
                            placeholderTextColor: "#ccc"
                            selectByMouse: true
                            onAccepted: clientIdPopup.store()
                        }

                        Item {
                            width: parent.width
                            height: 55

                            Row {
                                anchors {
                                    top: parent.top
                                    topMargin: 15
                                    right: parent.right
                                }

                                ItemDelegate {
                                    height: 40
                                    hoverEnabled: false
                                    text: "CANCEL"
                                    Material.foreground: Material.Teal
                                    onClicked: clientIdPopup.close()
                                }

                                ItemDelegate {
                                    height: 40
                                    hoverEnabled: false
                                    text: "SAVE"
                                    Material.foreground: Material.Teal
                                    onClicked: clientIdPopup.store()
                                }
                            }
                        }
                    }
                }
            }
        }

        Column {
            id: bunkerTab

            ItemDelegate {
                id: qualityRow

                height: 50
                anchors {
                    left: parent.left
                    right: parent.right
                }
                onClicked: savedMemesQuality.open()

                RowLayout {
                    anchors.fill: parent

                    Label {
                        Layout.fillWidth: true
                        Layout.fillHeight: true
                        leftPadding: 15
                        verticalAlignment: Text.AlignVCenter
                        font.pointSize: 14
                        text: "Meme quality [disabled for now]"
                    }

                    Label {
                        Layout.fillHeight: true
                        rightPadding: 15
                        verticalAlignment: Text.AlignVCenter
                        font.pointSize: 14
                        text: savedMemesQuality.getImgQualityText()
                    }
                }

                Popup {
                    id: savedMemesQuality

                    function getImgQualityText() {
                        var quality = bunkerSettings.imgQuality
                        if (quality === -1)
                            return "Auto"
                        if (quality === 0)
                            return "Low"
                        if (quality === 50)
                            return "Medium"
                        if (quality === 100)
                            return "High"
                        return ""
                    }

                    function qualityFor(name) {
                        var qualities = { "Auto": -1, "Low": 0, "Medium": 50, "High": 100 }
                        return qualities[name]
                    }

                    modal: true
                    padding: 0
                    margins: 0
                    width: Math.min(qualityRow.width * 0.9, 400)
                    anchors.centerIn: Overlay.overlay

                    Column {
                        anchors.fill: parent

                        Label {
                            anchors.horizontalCenter: parent.horizontalCenter
                            padding: 10
                            font.pointSize: 16
                            font.family: montserrat.name
                            text: "Saved memes quality"
                        }

                        Label {
                            anchors.horizontalCenter: parent.horizontalCenter
                            horizontalAlignment: Text.AlignHCenter
                            font.pointSize: 12
                            text: "This setting has been disabled for now.\nBetter quality means bigger file size.\nIt is highly recommended to keep the auto setting."
                        }

                        Repeater {
                            model: ["Auto", "Low (compressed)", "Medium", "High (uncompressed)"]

                            RadioDelegate {
                                anchors {
                                    left: parent.left
                                    right: parent.right
                                }
                                hoverEnabled: false
                                text: modelData
                                checked: modelData.split(" ")[0] === savedMemesQuality.getImgQualityText()
                                onClicked: {
                                    bunkerSettings.imgQuality = savedMemesQuality.qualityFor(text.split(" ")[0])
                                    savedMemesQuality.close()
                                }
                            }
                        }
                    }
                }
            }
        }

        Column {
            id: copypastaTab

            ItemDelegate {
                id: linesRow

                height: 50
                anchors {
                    left: parent.left
                    right: parent.right
                }
                onClicked: previewLineNumber.open()

                RowLayout {
                    anchors.fill: parent

                    Label {
                        Layout.fillWidth: true
                        Layout.fillHeight: true
                        leftPadding: 15
                        verticalAlignment: Text.AlignVCenter
                        font.pointSize: 14
                        text: "Max number of lines in previews"
                    }

                    Label {
                        Layout.fillHeight: true
                        rightPadding: 15
                        verticalAlignment: Text.AlignVCenter
                        font.pointSize: 14
                        text: previewLinesSlider.value === 201 ? "No limit" : previewLinesSlider.value
                    }
                }

                Popup {
                    id: previewLineNumber

                    modal: true
                    padding: 0
                    margins: 0
                    width: Math.min(linesRow.width * 0.9, 400)
                    anchors.centerIn: Overlay.overlay

                    Column {
                        anchors.fill: parent

                        Label {
                            anchors.horizontalCenter: parent.horizontalCenter
                            padding: 10
                            font.pointSize: 14
                            font.family: montserrat.name
                            text: "Max number of lines"
                        }

                        Slider {
                            id: previewLinesSlider

                            anchors.horizontalCenter: parent.horizontalCenter
                            from: 1
                            to: 201
                            stepSize: 1
                            // Whole lines only, also while the handle is being dragged.
                            snapMode: Slider.SnapAlways
                            // The far right end, one past the largest limit, stands for "No limit" (stored as 0).
                            value: copypastaSettings.lineNumber === 0 ? 201 : copypastaSettings.lineNumber
                            onValueChanged: copypastaSettings.lineNumber = previewLinesSlider.value === 201 ? 0 : previewLinesSlider.value
                        }

                        Label {
                            anchors.horizontalCenter: parent.horizontalCenter
                            bottomPadding: 20
                            font.pointSize: 12
                            text: copypastaSettings.lineNumber === 0 ? "No limit" : copypastaSettings.lineNumber
                        }
                    }
                }
            }
        }
    }
}
