import QtQuick 2.12
import QtTest 1.12

// The real main window's navigation drawer: its width, its entries and the swipe that opens it.
WindowTestCase {
    id: testCase

    function test_drawerWidth_data() {
        return [
            { tag: "400", width: 400, drawer: 300 },
            { tag: "533", width: 533, drawer: 399.75 },
            { tag: "800", width: 800, drawer: 400 },
        ]
    }

    function test_drawerWidth(data) {
        testCase.openWindowWithFeed(data.width)
        // The overlay, the drawer's parent, takes the window's size once the window is laid out.
        tryCompare(testCase.part("drawer"), "width", data.drawer)
        compare(testCase.part("drawer").height, testCase.window.height)
        // Follows the window as it is resized.
        testCase.window.width = 2 * data.width
        tryCompare(testCase.part("drawer"), "width", Math.min(400, 1.5 * data.width))
    }

    function test_choosingCurrentEntryOnlyClosesDrawer_data() {
        return [
            { tag: "Trending memes", before: "", entry: "Trending memes", index: 0, depth: 1 },
            { tag: "Meme bunker", before: "Meme bunker", entry: "Meme bunker", index: 1, depth: 2 },
            { tag: "Copypasta", before: "Copypasta", entry: "Copypasta", index: 2, depth: 2 },
        ]
    }

    function test_choosingCurrentEntryOnlyClosesDrawer(data) {
        testCase.openWindowWithFeed()
        var stack = testCase.part("stack")
        if (data.before !== "")
            testCase.chooseDrawerEntry(data.before)
        var page = stack.currentItem
        testServer.clearRequests()
        testCase.chooseDrawerEntry(data.entry)
        compare(stack.currentItem, page, "the page is not recreated")
        compare(stack.depth, data.depth)
        compare(testCase.part("navContent").currentIndex, data.index)
        compare(testCase.listingRequests(), [])
    }

    function test_drawerEntriesSwapThePageAboveTheFeed() {
        testCase.openWindowWithFeed()
        var stack = testCase.part("stack")
        var feed = stack.currentItem
        testCase.chooseDrawerEntry("Meme bunker")
        compare(stack.depth, 2)
        testCase.chooseDrawerEntry("Copypasta")
        compare(stack.depth, 2, "the bunker page was replaced, not stacked")
        compare(testCase.part("navContent").currentIndex, 2)
        testCase.chooseDrawerEntry("Trending memes")
        compare(stack.depth, 1)
        compare(stack.currentItem, feed, "back on the same feed page")
    }

    function test_drawerSwipesOpenOnTheFeed() {
        testCase.openWindowWithFeed(800)
        mouseDrag(testCase.window.contentItem, 2, 250, 300, 0)
        tryCompare(testCase.part("drawer"), "opened", true)
    }

    name: "Drawer"
}
