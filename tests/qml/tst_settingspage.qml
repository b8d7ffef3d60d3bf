import QtQuick 2.12
import QtQuick.Controls 2.12
import QtQuick.Controls.Material 2.12
import QtTest 1.12
import "finders.js" as Finders

// The settings page inside the real main window, reached through the "more" menu: what each choice
// stores in the default settings store and shows in its row. Each test changes its own keys only.
WindowTestCase {
    id: testCase

    function find(item, text) {
        return Finders.findItem(item, Finders.withText(text))
    }

    function stack() {
        return testCase.part("stack")
    }

    // Opens the page through the menu, unless it is shown already (it stays between test functions,
    // which saves the push and pop transitions).
    function openSettings() {
        if (stack().currentItem.submenu !== true) {
            testCase.chooseFromMenu("Settings")
            tryVerify(function () { return stack().currentItem.submenu === true && !stack().busy }, 5000, "settings shown")
        }
        return stack().currentItem
    }

    function tabBar() {
        return stack().currentItem.children[0]
    }

    function swipeView() {
        return stack().currentItem.children[1]
    }

    // Waits until the swipe view has come to rest on its current page.
    function waitForPage(index) {
        var view = swipeView()
        tryCompare(view, "currentIndex", index)
        tryVerify(function () {
            return Math.abs(view.contentItem.contentX - view.contentItem.originX - index * view.width) < 0.5
                    && !view.contentItem.moving
        }, 5000, "page " + index + " at rest")
    }

    function showTab(name) {
        openSettings()
        var button = find(tabBar(), name)
        mouseClick(button)
        waitForPage(button.TabBar.index)
    }

    // The value label at the right of the row titled title.
    function valueLabel(title) {
        var titleLabel = find(swipeView(), title)
        verify(titleLabel !== null, "row " + title)
        return titleLabel.parent.children[1]
    }

    function openChooser(rowTitle, accept) {
        mouseClick(find(swipeView(), rowTitle))
        return testCase.openPopupHolding(accept)
    }

    function waitForStored(key, value) {
        tryVerify(function () { return String(testHelper.readSetting(key)) === value }, 5000, key + " = " + value)
    }

    function popupShown() {
        var layers = testCase.window.overlay.children
        for (var i = 0; i < layers.length; ++i) {
            if (layers[i].visible)
                return true
        }
        return false
    }

    function initTestCase() {
        // Not a temporary object: it lives through every test function of the file.
        testCase.window = Qt.createComponent("qrc:/main.qml").createObject(null)
        verify(testCase.window !== null)
        testCase.activate()
    }

    // A test that failed with a chooser open must not leave it over the next one.
    function cleanup() {
        if (popupShown()) {
            keyClick(Qt.Key_Escape)
            tryVerify(function () { return !popupShown() }, 5000, "popups closed")
        }
    }

    function cleanupTestCase() {
        testCase.window.destroy()
        tryCompare(testCase, "window", null)
    }

    function test_clientIdStoredTrimmed() {
        showTab("Trending")
        var field = openChooser("Forum API client ID", function (item) {
            return item.placeholderText === "None" && item.selectByMouse !== undefined
        })
        testCase.typeInto(field, "  id42  ")
        keyClick(Qt.Key_Return)
        tryCompare(field, "visible", false)
        waitForStored("trending/clientId", "id42")
        compare(valueLabel("Forum API client ID").text, "id42")
    }

    // A choice is stored at once and shown in the row.
    function test_chooser_data() {
        return [
            { tag: "theme", tab: "General", row: "Theme (experimental)", option: "Fusion", key: "global/theme",
              value: "Fusion", shown: "Fusion" },
            { tag: "memes per push", tab: "Trending", row: "New memes per button push", option: "50 memes",
              key: "trending/number", value: "50", shown: "50 memes" },
        ]
    }

    function test_chooser(data) {
        showTab(data.tab)
        var choice = openChooser(data.row, function (item) {
            return item.text === data.option && item.checked !== undefined
        })
        mouseClick(choice)
        tryCompare(choice, "visible", false)
        waitForStored(data.key, data.value)
        compare(valueLabel(data.row).text, data.shown)
    }

    // Dark mode off means the system's choice, never the light theme.
    function test_darkModeOffFollowsSystem() {
        showTab("General")
        var toggle = find(swipeView(), "Dark mode")
        mouseClick(toggle)
        compare(testCase.window.themeMode, Material.Dark)
        waitForStored("global/themeMode", String(Material.Dark))
        mouseClick(toggle)
        compare(testCase.window.themeMode, Material.System)
        waitForStored("global/themeMode", String(Material.System))
    }

    // The far end of the slider means no limit, stored as 0.
    function test_lineSliderNoLimit() {
        showTab("Copypasta")
        var slider = openChooser("Max number of lines in previews", function (item) {
            return item.from === 1 && item.to === 201
        })
        mouseDrag(slider, slider.width / 2, slider.height / 2, slider.width, 0)
        compare(valueLabel("Max number of lines in previews").text, "No limit")
        waitForStored("copypasta/lineNumber", "0")
    }

    // The cache row shows what the feed below left in the cache; its button empties it.
    function test_cacheCleared() {
        if (stack().currentItem.submenu === true) {
            mouseClick(testCase.part("navigationButton"))
            tryVerify(function () { return stack().currentItem.submenu !== true && !stack().busy }, 5000, "settings gone")
        }
        testCase.window.refreshFeed()
        tryVerify(function () { return stack().get(0).count > 0 }, 5000, "feed read")
        showTab("General")
        var size = valueLabel("Cache of memes and feeds")
        verify(size.text !== "0 KiB" && size.text !== "", size.text)
        mouseClick(size.parent.children[2])
        tryCompare(size, "text", "0 KiB")
    }

    name: "SettingsPage"
}
