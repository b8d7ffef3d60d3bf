import QtQuick 2.12
import QtQuick.Controls 2.12
import QtQuick.Controls.Material 2.12
import QtQuick.Controls.Universal 2.12
import QtQuick.Layouts 1.12
import Qt.labs.settings 1.0
import Bunker 1.0
import ShareManager 1.0

ApplicationWindow {
    id: window

    property string version: Qt.application.version
    property int themeMode: Material.System
    // A page marks itself as a sub-page by declaring submenu: true; others count as false.
    readonly property bool onSubPage: stack.currentItem !== null && stack.currentItem.submenu === true
    readonly property color toolbarForeground: Material.theme === Material.Light ? "#000" : "#fff"

    function refreshFeed() {
        stack.clear()
        stack.push("qrc:/Trending.qml")
    }

    function chooseDrawerEntry(entryIndex, source) {
        if (entryIndex !== navContent.currentIndex) {
            navContent.currentIndex = entryIndex
            if (stack.depth > 1)
                stack.pop(StackView.Immediate)
            if (source !== "")
                stack.push(source, StackView.Immediate)
        }
        drawer.close()
    }

    function leaveSubPage() {
        toolbar.state = ""
        stack.pop()
    }

    visible: true
    width: 800
    height: 600
    Material.theme: themeMode
    Material.accent: Material.Teal
    Universal.theme: Universal.System
    Universal.accent: Universal.Green

    onClosing: {
        if (window.onSubPage && Qt.platform.os === "android") {
            close.accepted = false
            window.leaveSubPage()
        }
    }

    header: ToolBar {
        id: toolbar

        objectName: "toolbar"
        height: 60
        Material.background: Material.theme === Material.Light ? "#fff" : "#303030"

        Settings {
            id: globalSettings

            property string theme: "Material"
            property bool decreaseBrightness: false
            property alias themeMode: window.themeMode

            objectName: "globalSettings"
            category: "global"
        }

        Settings {
            id: trendingSettings

            property int number: 25
            property string sort: "hot"
            // With a client ID the feed is read from the forum's API; empty reads it anonymously.
            property string clientId: ""

            objectName: "trendingSettings"
            category: "trending"
        }

        Settings {
            id: bunkerSettings

            property int imgQuality: -1

            objectName: "bunkerSettings"
            category: "bunker"
        }

        Settings {
            id: copypastaSettings

            property int lineNumber: 10

            objectName: "copypastaSettings"
            category: "copypasta"
        }

        Label {
            anchors.fill: parent
            text: "JeSt CrAtE"
            elide: Label.ElideRight
            horizontalAlignment: Qt.AlignHCenter
            verticalAlignment: Qt.AlignVCenter
            font.family: montserrat.name
            font.pointSize: 24
            Material.foreground: window.toolbarForeground
        }

        RowLayout {
            anchors.fill: parent

            ToolButton {
                id: navigationButton

                objectName: "navigationButton"
                icon.source: window.onSubPage ? "qrc:/icons/back.svg" : "qrc:/icons/menu.svg"
                Material.foreground: window.toolbarForeground
                onClicked: {
                    if (window.onSubPage)
                        window.leaveSubPage()
                    else
                        drawer.open()
                }
            }

            Item {
                Layout.fillWidth: true
            }

            ToolButton {
                id: refreshButton

                objectName: "refreshButton"
                icon.source: "qrc:/icons/refresh.svg"
                visible: window.width > 500 && navContent.currentIndex === 0
                opacity: window.onSubPage ? 0 : 1
                Material.foreground: window.toolbarForeground
                onClicked: {
                    if (window.onSubPage)
                        return
                    window.refreshFeed()
                    refreshAnimation.start()
                }

                RotationAnimation on rotation {
                    id: refreshAnimation

                    running: false
                    from: 0
                    to: 360
                    duration: 400
                    easing.type: Easing.InOutQuad
                }
            }

            ToolButton {
                id: moreButton

                objectName: "moreButton"
                icon.source: "qrc:/icons/more.svg"
                opacity: window.onSubPage ? 0 : 1
                Material.foreground: window.toolbarForeground
                onClicked: {
                    if (!window.onSubPage)
                        menu.open()
                }

                Menu {
                    id: menu

                    objectName: "menu"
                    x: moreButton.width - width
                    transformOrigin: Menu.TopRight

                    MenuItem {
                        id: refreshMenuItem

                        objectName: "refreshMenuItem"
                        text: "Refresh"
                        // Offered only where the toolbar has no room for the refresh button.
                        height: window.width > 500 || navContent.currentIndex !== 0 ? 0 : implicitHeight
                        onTriggered: window.refreshFeed()
                    }

                    MenuItem {
                        text: "Settings"
                        onTriggered: {
                            toolbar.state = "teal"
                            stack.push("qrc:/Settings.qml")
                        }
                    }

                    MenuItem {
                        text: "About"
                        onTriggered: aboutDialog.open()
                    }
                }
            }
        }

        states: State {
            name: "teal"

            PropertyChanges {
                target: toolbar
                Material.background: Material.color(Material.Teal)
                Material.elevation: 0
            }
        }
    }

    Bunker {
        id: bunker

        objectName: "bunker"
    }

    ShareManager {
        id: shareManager

        objectName: "shareManager"
    }

    Drawer {
        id: drawer

        function computeWidth() {
            var w = 0.75 * drawer.parent.width
            if (w > 400)
                w = 400
            return w
        }

        objectName: "drawer"
        width: computeWidth()
        height: window.height
        interactive: !window.onSubPage

        ListView {
            id: navContent

            objectName: "navContent"
            anchors.fill: parent
            boundsBehavior: Flickable.StopAtBounds
            currentIndex: 0

            header: Rectangle {
                width: navContent.width
                height: 200
                color: Material.color(Material.Teal)

                Column {
                    anchors.centerIn: parent

                    Label {
                        anchors.horizontalCenter: parent.horizontalCenter
                        text: bunker.memeCount
                        color: "#fff"
                        font.family: roboto.name
                        font.pointSize: 30
                    }

                    Label {
                        text: "memes saved"
                        color: "#fff"
                        font.family: roboto.name
                        font.pointSize: 18
                    }
                }
            }

            model: ListModel {
                ListElement {
                    title: "Trending memes"
                    icon: "qrc:/icons/hot.svg"
                    source: ""
                }

                ListElement {
                    title: "Meme bunker"
                    icon: "qrc:/icons/home.svg"
                    source: "qrc:/Bunker.qml"
                }

                ListElement {
                    title: "Copypasta"
                    icon: "qrc:/icons/pasta.svg"
                    source: "qrc:/Copypasta.qml"
                }
            }

            delegate: ItemDelegate {
                width: navContent.width
                height: 60
                text: model.title
                icon.source: model.icon
                font.pointSize: 14
                highlighted: ListView.isCurrentItem
                onClicked: window.chooseDrawerEntry(index, model.source)
            }

            add: Transition {
                NumberAnimation {
                    property: "opacity"
                    from: 0
                    to: 1.0
                    duration: 400
                }

                NumberAnimation {
                    property: "scale"
                    from: 0
                    to: 1.0
                    duration: 400
                }
            }

            displaced: Transition {
                NumberAnimation {
                    properties: "x,y"
                    duration: 400
                    easing.type: Easing.OutBounce
                }
            }
        }
    }

    StackView {
        id: stack

        objectName: "stack"
        anchors.fill: parent
        initialItem: Trending {
        }
    }

    Dialog {
        id: aboutDialog

        objectName: "aboutDialog"
        modal: true
        anchors.centerIn: Overlay.overlay
        width: Math.min(window.width * 0.9, 400)
        closePolicy: Popup.CloseOnEscape | Popup.CloseOnPressOutside
        standardButtons: Dialog.Close

        contentItem: Item {
            implicitHeight: 60

            Loader {
                // Loaded only when shown, so the About page costs nothing at start-up.
                anchors.fill: parent
                active: aboutDialog.visible
                source: "qrc:/About.qml"
            }
        }
    }

    FontLoader {
        id: montserrat

        source: "qrc:/fonts/Montserrat-Regular.ttf"
    }

    FontLoader {
        id: roboto

        source: "qrc:/fonts/Roboto-Regular.ttf"
    }
}
