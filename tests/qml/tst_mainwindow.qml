import QtQuick 2.12
import QtQuick.Controls 2.12
import QtQuick.Controls.Material 2.12
import QtTest 1.12
import "finders.js" as Finders

// The real main window's toolbar and menu, driven as a user would.
WindowTestCase {
    id: testCase

    // The toolbar's refresh button where the window is wide enough, else the menu item; neither
    // outside the feed.
    function test_refreshOfferedOnlyWhereItFits_data() {
        return [
            { tag: "500 wide counts as narrow", width: 500, bunker: false, button: false, menuItem: true },
            { tag: "501 wide", width: 501, bunker: false, button: true, menuItem: false },
            { tag: "narrow, bunker page", width: 400, bunker: true, button: false, menuItem: false },
            { tag: "wide, bunker page", width: 800, bunker: true, button: false, menuItem: false },
        ]
    }

    function test_refreshOfferedOnlyWhereItFits(data) {
        testCase.openWindowWithFeed(data.width)
        if (data.bunker)
            testCase.chooseDrawerEntry("Meme bunker")
        compare(testCase.part("refreshButton").visible, data.button)
        mouseClick(testCase.part("moreButton"))
        tryCompare(testCase.part("menu"), "opened", true)
        var height = testCase.menuItem("Refresh").height
        compare(height > 0, data.menuItem, "menu item height " + height)
    }

    // Both start a new feed page; only the button turns.
    function test_refreshStartsNewFeed_data() {
        return [
            { tag: "button", width: 800, turns: true },
            { tag: "menu item", width: 400, turns: false },
        ]
    }

    function test_refreshStartsNewFeed(data) {
        testCase.openWindowWithFeed(data.width)
        var stack = testCase.part("stack")
        var oldPage = stack.currentItem
        testServer.clearRequests()
        if (data.turns)
            mouseClick(testCase.part("refreshButton"))
        else
            testCase.chooseFromMenu("Refresh")
        verify(stack.currentItem !== oldPage, "a new Trending page")
        compare(stack.depth, 1)
        if (data.turns) {
            tryVerify(function () { return testCase.part("refreshButton").rotation > 0 }, 400, "the icon turns")
            tryCompare(testCase.part("refreshButton"), "rotation", 360, 2000)
        } else {
            compare(testCase.part("refreshButton").rotation, 0, "no turn from the menu")
        }
        tryCompare(stack.currentItem, "count", 2)
        compare(testCase.listingRequests(), ["/r/dankmemes/hot.json?after=&limit=25"])
    }

    // The Settings page is a sub-page, as any page declaring submenu: true: a teal toolbar with a back
    // button, no refresh, no menu, no drawer, until back pops it.
    function test_settingsIsASubPage() {
        testCase.openWindowWithFeed(800)
        var stack = testCase.part("stack")
        var toolbar = testCase.part("toolbar")
        var feed = stack.currentItem
        testCase.chooseFromMenu("Settings")
        compare(stack.depth, 2)
        compare(stack.currentItem.submenu, true)
        compare(toolbar.state, "teal")
        compare(String(toolbar.Material.background), String(Material.color(Material.Teal)))
        compare(toolbar.Material.elevation, 0)
        compare(String(testCase.part("navigationButton").icon.source), "qrc:/icons/back.svg")
        compare(testCase.part("refreshButton").opacity, 0)
        compare(testCase.part("moreButton").opacity, 0)
        compare(testCase.part("drawer").interactive, false)

        // The invisible buttons ignore clicks.
        testServer.clearRequests()
        mouseClick(testCase.part("moreButton"))
        compare(testCase.part("menu").visible, false)
        mouseClick(testCase.part("refreshButton"))
        compare(stack.depth, 2)
        compare(testCase.listingRequests(), [])

        // Swiping from the left edge does not pull the drawer out.
        mouseDrag(testCase.window.contentItem, 2, 250, 300, 0)
        compare(testCase.part("drawer").position, 0)

        mouseClick(testCase.part("navigationButton"))
        compare(stack.depth, 1)
        compare(stack.currentItem, feed)
        compare(toolbar.state, "")
        compare(String(testCase.part("navigationButton").icon.source), "qrc:/icons/menu.svg")
        compare(testCase.part("refreshButton").opacity, 1)
        compare(testCase.part("moreButton").opacity, 1)
        compare(testCase.part("drawer").interactive, true)
        compare(testCase.part("drawer").visible, false, "back pops the page, it does not open the drawer")
    }

    function test_pageWithoutMarkerIsNoSubPage() {
        testCase.openWindowWithFeed(800)
        testCase.part("stack").push(plainPage)
        compare(String(testCase.part("navigationButton").icon.source), "qrc:/icons/menu.svg")
        compare(testCase.part("moreButton").opacity, 1)
        compare(testCase.part("drawer").interactive, true)
    }

    function test_closeRequestOnSubPageClosesOffAndroid() {
        testCase.openWindowWithFeed()
        testCase.chooseFromMenu("Settings")
        verify(Qt.platform.os !== "android")
        testCase.window.close()
        tryCompare(testCase.window, "visible", false)
        compare(testCase.part("stack").depth, 2, "nothing popped")
        compare(testCase.part("toolbar").state, "teal")
    }

    function test_toolbarColoursFollowTheTheme_data() {
        return [
            { tag: "light", mode: Material.Light, background: "#ffffff", foreground: "#000000" },
            { tag: "dark", mode: Material.Dark, background: "#303030", foreground: "#ffffff" },
        ]
    }

    function test_toolbarColoursFollowTheTheme(data) {
        testCase.openWindowWithFeed()
        var toolbar = testCase.part("toolbar")
        testCase.window.themeMode = data.mode
        compare(String(toolbar.Material.background), data.background)
        compare(String(testCase.part("navigationButton").Material.foreground), data.foreground)
        compare(String(testCase.part("moreButton").Material.foreground), data.foreground)
    }

    function test_aboutDialogOpensAndCloses_data() {
        return [
            { tag: "Escape" },
            { tag: "Close button" },
            { tag: "press outside" },
        ]
    }

    // The About page shows the window's version, centred and on one line however long; it is no
    // page of the stack, and Escape, its Close button or a press outside closes it.
    function test_aboutDialogOpensAndCloses(data) {
        testCase.openWindowWithFeed()
        var dialog = testCase.part("aboutDialog")
        testCase.chooseFromMenu("About")
        tryCompare(dialog, "opened", true)
        compare(testCase.part("stack").depth, 1)
        var label = Finders.findItem(dialog.contentItem, function (item) {
            return typeof item.text === "string" && item.text.indexOf("Jest crate version ") === 0
        })
        compare(label.text, "Jest crate version 1.0.1")
        compare(label.horizontalAlignment, Text.AlignHCenter)
        testCase.window.version = "1.0.1 built from a rather long and descriptive source revision name"
        compare(label.text, "Jest crate version " + testCase.window.version)
        tryVerify(function () { return label.contentWidth > label.width }, 5000, "text wider than the label")
        compare(label.lineCount, 1)

        // Escape is a shortcut, and shortcuts go to the focused window only.
        testCase.window.requestActivate()
        tryCompare(testCase.window, "active", true)
        if (data.tag === "Escape")
            testHelper.keyClick(testCase.window, Qt.Key_Escape)
        else if (data.tag === "Close button")
            mouseClick(Finders.findItem(dialog.footer, Finders.withText("Close")))
        else
            mouseClick(testCase.window.contentItem, 5, testCase.window.contentItem.height - 5)
        tryCompare(dialog, "visible", false)
    }

    name: "MainWindow"

    Component {
        id: plainPage

        Item {
        }
    }
}
