import QtQuick 2.12
import QtQuick.Controls.Material 2.12
import QtTest 1.12
import "finders.js" as Finders

// A test case around one real main window per test function, with the steps a user takes in it.
// The window is destroyed after each test; what it persisted is set back to the defaults.
TestCase {
    id: windowTestCase

    // Typed, so that it reads null once the window is really gone.
    property QtObject window: null

    function openWindow(width) {
        var component = Qt.createComponent("qrc:/main.qml")
        compare(component.status, Component.Ready, component.errorString())
        windowTestCase.window = createTemporaryObject(component, null, { width: width === undefined ? 800 : width })
        verify(windowTestCase.window !== null)
        return windowTestCase.window
    }

    // Typed keys go to the focused window.
    function activate() {
        windowTestCase.window.requestActivate()
        tryCompare(windowTestCase.window, "active", true)
        waitForRendering(windowTestCase.window.contentItem)
    }

    // An item accepted by accept inside an open popup (or the drawer, once it is fully out). The
    // enter fade is not awaited: now and then it stalls on its first frame under the test runner.
    function openPopupHolding(accept) {
        var found = null
        tryVerify(function () {
            var layers = windowTestCase.window.overlay.children
            for (var i = 0; i < layers.length; ++i) {
                var item = Finders.findItem(layers[i], accept)
                if (item && item.visible && layers[i].mapToItem(null, 0, 0).x >= 0) {
                    found = item
                    return true
                }
            }
            return false
        }, 5000, "an open popup holding the wanted item")
        return found
    }

    function typeInto(field, text) {
        mouseClick(field)
        tryCompare(field, "activeFocus", true)
        keyClick(Qt.Key_A, Qt.ControlModifier)
        keyClick(Qt.Key_Delete)
        for (var i = 0; i < text.length; ++i) {
            if (text.charAt(i) === "\n")
                keyClick(Qt.Key_Return)
            else
                keyClick(text.charAt(i))
        }
        compare(field.text, text)
    }

    // The window once its feed page has handled the first reply.
    function openWindowWithFeed(width) {
        windowTestCase.openWindow(width)
        var page = windowTestCase.page()
        tryVerify(function () { return page.count > 0 && page.footerItem !== null }, 5000, "first listing reply handled")
        return windowTestCase.window
    }

    // A new window showing the drawer's page titled entry, ready for typed keys.
    function openDrawerPage(entry) {
        windowTestCase.openWindow()
        windowTestCase.activate()
        windowTestCase.chooseDrawerEntry(entry)
        return windowTestCase.page()
    }

    function part(objectName) {
        var found = findChild(windowTestCase.window, objectName)
        verify(found !== null, objectName)
        return found
    }

    // The page on top of the stack.
    function page() {
        return windowTestCase.part("stack").currentItem
    }

    // The page's cards once there are count of them.
    function cards(page, count) {
        tryVerify(function () { return Finders.cardsOf(page).length === count }, 5000, count + " cards shown")
        return Finders.cardsOf(page)
    }

    function cardTitles() {
        return Finders.cardsOf(windowTestCase.page()).map(function (card) { return card.title })
    }

    // Opens the page's add popup, types into its two fields (known by their placeholders) and
    // presses SAVE. Returns the title field, which hides with the popup.
    function submitAddForm(titleHint, title, textHint, text) {
        mouseClick(Finders.findItem(windowTestCase.page(), function (item) {
            return item.icon !== undefined && String(item.icon.source) === "qrc:/icons/add.svg"
        }))
        var titleField = windowTestCase.openPopupHolding(Finders.withPlaceholder(titleHint))
        windowTestCase.typeInto(titleField, title)
        windowTestCase.typeInto(windowTestCase.openPopupHolding(Finders.withPlaceholder(textHint)), text)
        mouseClick(windowTestCase.openPopupHolding(Finders.withText("SAVE")))
        return titleField
    }

    // Adds through the popup and waits for the new card on top of the page.
    function addThroughForm(titleHint, title, textHint, text) {
        var page = windowTestCase.page()
        var before = page.count
        tryCompare(windowTestCase.submitAddForm(titleHint, title, textHint, text), "visible", false)
        tryCompare(page, "count", before + 1)
        tryVerify(function () { return windowTestCase.cardTitles()[0] === title }, 5000, "the new card on top")
    }

    function cardTitled(page, title) {
        var found = null
        tryVerify(function () {
            found = Finders.cardsOf(page).filter(function (card) { return card.title === title })[0] || null
            return found !== null
        }, 5000, "card \"" + title + "\" shown")
        return found
    }

    function menuItem(text) {
        var menu = windowTestCase.part("menu")
        for (var i = 0; i < menu.count; ++i) {
            if (menu.itemAt(i).text === text)
                return menu.itemAt(i)
        }
        fail("no menu item " + text)
    }

    function chooseFromMenu(text) {
        var menu = windowTestCase.part("menu")
        mouseClick(windowTestCase.part("moreButton"))
        tryCompare(menu, "opened", true)
        mouseClick(windowTestCase.menuItem(text))
        tryCompare(menu, "visible", false)
    }

    function chooseDrawerEntry(title) {
        mouseClick(windowTestCase.part("navigationButton"))
        tryCompare(windowTestCase.part("drawer"), "opened", true)
        var entry = Finders.findItem(windowTestCase.part("navContent").contentItem, Finders.withText(title))
        verify(entry !== null, title)
        mouseClick(entry)
        tryCompare(windowTestCase.part("drawer"), "visible", false)
    }

    function waitForPicture(card) {
        tryVerify(function () { return card.memeImg !== null && card.memeImg.status === Image.Ready }, 5000,
                  "picture of \"" + card.title + "\" loaded")
    }

    function listingRequests() {
        return testServer.requestedTargets().filter(function (target) { return target.indexOf("/r/dankmemes/") === 0 })
    }

    function init() {
        testServer.clearRequests()
    }

    function cleanup() {
        if (windowTestCase.window !== null) {
            // The window persists these itself; it leaves the defaults behind when it goes.
            windowTestCase.part("globalSettings").decreaseBrightness = false
            windowTestCase.window.themeMode = Material.System
            // Two main windows alive at once would share settings elements; wait for the old one to go.
            windowTestCase.window.destroy()
            tryCompare(windowTestCase, "window", null)
        }
        // Feed settings a test wrote into the store go back to the defaults: the canned "hot"
        // pages, NSFW posts blurred.
        testHelper.writeSetting("trending/sort", "hot")
        testHelper.writeSetting("trending/nsfw", "blurred")
    }

    when: windowShown
}
