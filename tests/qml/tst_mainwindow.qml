import QtQuick 2.12
import QtTest 1.12
import "finders.js" as Finders

// The real main window's toolbar and menu, driven as a user would.
WindowTestCase {
    id: testCase

    // A new feed page, from the first listing page.
    function test_refreshStartsNewFeed() {
        testCase.openWindowWithFeed()
        var stack = testCase.part("stack")
        var oldPage = stack.currentItem
        testServer.clearRequests()
        mouseClick(testCase.part("refreshButton"))
        verify(stack.currentItem !== oldPage, "a new Trending page")
        tryCompare(stack.currentItem, "count", 2)
        compare(testCase.listingRequests(), ["/r/dankmemes/hot.json?after=&limit=25"])
    }

    // A sub-page: a teal toolbar until back pops it. Closing the window there closes it (only
    // Android turns the close into a back).
    function test_settingsIsASubPage() {
        testCase.openWindowWithFeed()
        var stack = testCase.part("stack")
        var toolbar = testCase.part("toolbar")
        var feed = stack.currentItem
        testCase.chooseFromMenu("Settings")
        compare(stack.depth, 2)
        compare(toolbar.state, "teal")
        mouseClick(testCase.part("navigationButton"))
        compare(stack.currentItem, feed)
        compare(toolbar.state, "")

        testCase.chooseFromMenu("Settings")
        testCase.window.close()
        tryCompare(testCase.window, "visible", false)
    }

    function test_aboutShowsVersion() {
        testCase.openWindowWithFeed()
        var dialog = testCase.part("aboutDialog")
        testCase.chooseFromMenu("About")
        tryCompare(dialog, "opened", true)
        var label = Finders.findItem(dialog.contentItem, function (item) {
            return typeof item.text === "string" && item.text.indexOf("Jest crate version ") === 0
        })
        compare(label.text, "Jest crate version 1.0.1")
    }

    // Each entry puts its page above the feed, replacing the one there; choosing the current entry
    // only closes the drawer: no new page, no request. Refresh is offered on the feed alone.
    function test_drawerEntries() {
        testCase.openWindowWithFeed()
        var stack = testCase.part("stack")
        var feed = stack.currentItem
        var steps = [
            { entry: "Meme bunker", index: 1, same: false },
            { entry: "Meme bunker", index: 1, same: true },
            { entry: "Copypasta", index: 2, same: false },
            { entry: "Trending memes", index: 0, same: false },
        ]
        for (var i = 0; i < steps.length; ++i) {
            var page = stack.currentItem
            var step = "step " + i + ", " + steps[i].entry
            testServer.clearRequests()
            testCase.chooseDrawerEntry(steps[i].entry)
            compare(stack.currentItem === page, steps[i].same, step)
            compare(stack.depth, steps[i].index === 0 ? 1 : 2, step)
            compare(testCase.part("navContent").currentIndex, steps[i].index, step)
            compare(testCase.listingRequests(), [], step)
            compare(testCase.part("refreshButton").visible, steps[i].index === 0, step)
        }
        compare(stack.currentItem, feed, "back on the same feed page")
    }

    name: "MainWindow"
}
