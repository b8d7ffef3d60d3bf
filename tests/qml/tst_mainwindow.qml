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

    // Both start a new feed page from the first listing page.
    function test_refreshStartsNewFeed_data() {
        return [
            { tag: "button", width: 800 },
            { tag: "menu item", width: 400 },
        ]
    }

    function test_refreshStartsNewFeed(data) {
        testCase.openWindowWithFeed(data.width)
        var stack = testCase.part("stack")
        var oldPage = stack.currentItem
        testServer.clearRequests()
        if (data.width > 500)
            mouseClick(testCase.part("refreshButton"))
        else
            testCase.chooseFromMenu("Refresh")
        verify(stack.currentItem !== oldPage, "a new Trending page")
        compare(stack.depth, 1)
        tryCompare(stack.currentItem, "count", 2)
        compare(testCase.listingRequests(), ["/r/dankmemes/hot.json?after=&limit=25"])
    }

    // A sub-page: a teal toolbar with a back button and no menu, until back pops it. Closing the
    // window there closes it (only Android turns the close into a back).
    function test_settingsIsASubPage() {
        testCase.openWindowWithFeed(800)
        var stack = testCase.part("stack")
        var toolbar = testCase.part("toolbar")
        var feed = stack.currentItem
        testCase.chooseFromMenu("Settings")
        compare(stack.depth, 2)
        compare(toolbar.state, "teal")
        compare(String(testCase.part("navigationButton").icon.source), "qrc:/icons/back.svg")
        mouseClick(testCase.part("moreButton"))
        compare(testCase.part("menu").visible, false)
        mouseClick(testCase.part("navigationButton"))
        compare(stack.depth, 1)
        compare(stack.currentItem, feed)
        compare(toolbar.state, "")
        compare(testCase.part("drawer").visible, false, "back pops the page, it does not open the drawer")

        testCase.chooseFromMenu("Settings")
        testCase.window.close()
        tryCompare(testCase.window, "visible", false)
    }

    // The About dialog shows the window's version and closes with its button.
    function test_aboutDialog() {
        testCase.openWindowWithFeed()
        var dialog = testCase.part("aboutDialog")
        testCase.chooseFromMenu("About")
        tryCompare(dialog, "opened", true)
        var label = Finders.findItem(dialog.contentItem, function (item) {
            return typeof item.text === "string" && item.text.indexOf("Jest crate version ") === 0
        })
        compare(label.text, "Jest crate version 1.0.1")
        mouseClick(Finders.findItem(dialog.footer, Finders.withText("Close")))
        tryCompare(dialog, "visible", false)
    }

    // Each entry puts its page above the feed, replacing the one there; choosing the current entry
    // only closes the drawer: no new page, no request.
    function test_drawerEntries() {
        testCase.openWindowWithFeed()
        var stack = testCase.part("stack")
        var feed = stack.currentItem
        var steps = [
            { entry: "Trending memes", index: 0, depth: 1, same: true },
            { entry: "Meme bunker", index: 1, depth: 2, same: false },
            { entry: "Meme bunker", index: 1, depth: 2, same: true },
            { entry: "Copypasta", index: 2, depth: 2, same: false },
            { entry: "Copypasta", index: 2, depth: 2, same: true },
            { entry: "Trending memes", index: 0, depth: 1, same: false },
        ]
        for (var i = 0; i < steps.length; ++i) {
            var page = stack.currentItem
            testServer.clearRequests()
            testCase.chooseDrawerEntry(steps[i].entry)
            var step = "step " + i + ", " + steps[i].entry
            compare(stack.currentItem === page, steps[i].same, step)
            compare(stack.depth, steps[i].depth, step)
            compare(testCase.part("navContent").currentIndex, steps[i].index, step)
            compare(testCase.listingRequests(), [], step)
        }
        compare(stack.currentItem, feed, "back on the same feed page")
    }

    name: "MainWindow"
}
