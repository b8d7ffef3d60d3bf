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

    function test_drawerSwipesOpenOnTheFeed() {
        testCase.openWindowWithFeed(800)
        mouseDrag(testCase.window.contentItem, 2, 250, 300, 0)
        tryCompare(testCase.part("drawer"), "opened", true)
    }

    name: "Drawer"
}
