import QtQuick 2.12
import QtQuick.Controls 2.12
import QtQuick.Controls.Material 2.12
import QtTest 1.12

// The settings page inside the real main window, reached through the "more" menu: what its rows
// show, what each choice stores in the default settings store, and how its tabs behave.
TestCase {
    id: testCase

    // Typed, so that it reads null once the window is really gone.
    property QtObject appWindow: null

    function findItem(item, accept) {
        if (!item)
            return null
        if (accept(item))
            return item
        for (var i = 0; i < item.children.length; ++i) {
            var found = findItem(item.children[i], accept)
            if (found)
                return found
        }
        return null
    }

    function withText(text) {
        return function (item) {
            return item.text === text
        }
    }

    function withIcon(source) {
        return function (item) {
            return item.icon !== undefined && item.clicked !== undefined && String(item.icon.source) === source
        }
    }

    function stack() {
        return findItem(appWindow.contentItem, function (item) {
            return item.depth !== undefined && item.currentItem !== undefined
        })
    }

    // An item accepted by accept inside an open popup or menu; the enter fade is not awaited, it
    // now and then stalls under the test runner.
    function openPopupHolding(accept) {
        var found = null
        tryVerify(function () {
            var layers = appWindow.overlay.children
            for (var i = 0; i < layers.length; ++i) {
                var item = findItem(layers[i], accept)
                if (item && item.visible && layers[i].mapToItem(null, 0, 0).x >= 0) {
                    found = item
                    return true
                }
            }
            return false
        }, 5000, "an open popup holding the wanted item")
        return found
    }

    function openWindow() {
        // Not a temporary object: it lives through every test function of the file.
        appWindow = Qt.createComponent("qrc:/main.qml").createObject(null)
        verify(appWindow !== null)
        // Typed keys go to the focused window.
        appWindow.requestActivate()
        tryCompare(appWindow, "active", true)
        waitForRendering(appWindow.contentItem)
    }

    // Opens the page through the menu, unless it is shown already (it stays between test functions,
    // which saves the push and pop transitions).
    function openSettings() {
        if (stack().currentItem.submenu === true)
            return stack().currentItem
        mouseClick(findItem(appWindow.header, withIcon("qrc:/icons/more.svg")))
        var item = openPopupHolding(withText("Settings"))
        mouseClick(item)
        tryVerify(function () {
            return stack().currentItem.submenu === true && !stack().busy
        }, 5000, "the settings page shown")
        return stack().currentItem
    }

    function leaveSettings() {
        mouseClick(findItem(appWindow.header, withIcon("qrc:/icons/back.svg")))
        tryVerify(function () {
            return stack().currentItem.submenu !== true && !stack().busy
        }, 5000, "the settings page gone")
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
        var button = findItem(tabBar(), withText(name))
        mouseClick(button)
        waitForPage(button.TabBar.index)
    }

    // The value label at the right of the row titled title.
    function rowValue(title) {
        var titleLabel = findItem(swipeView(), withText(title))
        verify(titleLabel !== null, "row " + title)
        return titleLabel.parent.children[1].text
    }

    function openChooser(rowTitle, accept) {
        mouseClick(findItem(swipeView(), withText(rowTitle)))
        return openPopupHolding(accept)
    }

    function option(rowTitle, text) {
        return openChooser(rowTitle, function (item) {
            return item.text === text && item.checked !== undefined
        })
    }

    function stored(key) {
        var value = testHelper.readSetting(key)
        return value === undefined ? undefined : String(value)
    }

    function lineSlider() {
        return openChooser("Max number of lines in previews", function (item) {
            return item.from === 1 && item.to === 201
        })
    }

    function setSlider(slider, value) {
        // Press where the value sits on the groove, then step to it exactly with the arrow keys.
        var travel = slider.availableWidth - slider.handle.width
        var x = slider.leftPadding + slider.handle.width / 2 + travel * (value - slider.from) / (slider.to - slider.from)
        mouseClick(slider, Math.min(x, slider.width - 1), slider.height / 2)
        tryCompare(slider, "activeFocus", true)
        while (slider.value < value)
            keyClick(Qt.Key_Right)
        while (slider.value > value)
            keyClick(Qt.Key_Left)
        compare(slider.value, value)
    }

    function initTestCase() {
        openWindow()
    }

    function popupShown() {
        var layers = appWindow.overlay.children
        for (var i = 0; i < layers.length; ++i) {
            if (layers[i].visible)
                return true
        }
        return false
    }

    // The main window's settings element of a category.
    function settingsElement(category) {
        var elements = appWindow.header.contentData
        for (var i = 0; i < elements.length; ++i) {
            if (elements[i].category === category)
                return elements[i]
        }
        return null
    }

    // One window serves every test; its settings elements go back to their defaults in between.
    function init() {
        var defaults = {
            "global": { "theme": "Material", "themeMode": Material.System, "decreaseBrightness": false },
            "trending": { "number": 25, "sort": "hot", "clientId": "" },
            "bunker": { "imgQuality": -1 },
            "copypasta": { "lineNumber": 10 }
        }
        for (var category in defaults) {
            var element = settingsElement(category)
            for (var key in defaults[category])
                element[key] = defaults[category][key]
        }
        appWindow.width = 800
    }

    function cleanup() {
        if (popupShown()) {
            keyClick(Qt.Key_Escape)
            tryVerify(function () {
                return !popupShown()
            }, 5000, "popups closed")
        }
    }

    function cleanupTestCase() {
        appWindow.destroy()
        tryCompare(testCase, "appWindow", null)
    }

    // The client ID is typed, stored trimmed, and shown; an empty one means anonymous reading.
    function test_clientIdStored_data() {
        return [
            { tag: "typed", typed: "abcDEF123_-", stored: "abcDEF123_-", shown: "abcDEF123_-" },
            { tag: "trimmed", typed: "  id42  ", stored: "id42", shown: "id42" },
            { tag: "markup shown plainly", typed: "<b>x</b>", stored: "<b>x</b>", shown: "<b>x</b>" },
        ]
    }

    function test_clientIdStored(data) {
        openSettings()
        showTab("Trending")
        compare(rowValue("Forum API client ID"), "None")
        var field = openChooser("Forum API client ID", function (item) {
            return item.placeholderText === "None" && item.selectByMouse !== undefined
        })
        tryCompare(field, "activeFocus", true)
        field.selectAll()
        for (var i = 0; i < data.typed.length; ++i)
            keyClick(data.typed.charAt(i))
        compare(field.text, data.typed)
        keyClick(Qt.Key_Return)
        tryCompare(field, "visible", false)
        tryVerify(function () {
            return stored("trending/clientId") === data.stored
        }, 5000, "trending/clientId stored")
        compare(rowValue("Forum API client ID"), data.shown)
        var shownLabel = findItem(swipeView(), withText("Forum API client ID")).parent.children[1]
        compare(shownLabel.textFormat, Text.PlainText)
    }

    function test_clientIdCancelKeepsStored() {
        settingsElement("trending").clientId = "kept"
        openSettings()
        showTab("Trending")
        var field = openChooser("Forum API client ID", function (item) {
            return item.placeholderText === "None" && item.selectByMouse !== undefined
        })
        compare(field.text, "kept")
        mouseClick(openPopupHolding(withText("CANCEL")))
        tryCompare(field, "visible", false)
        // The settings element writes its values a moment later, not at once.
        tryVerify(function () {
            return stored("trending/clientId") === "kept"
        }, 5000, "trending/clientId kept")
        compare(rowValue("Forum API client ID"), "kept")
    }

    function test_defaultsShown_data() {
        return [
            { tag: "theme", tab: "General", row: "Theme (experimental)", value: "Material", checked: "Material" },
            { tag: "memes per push", tab: "Trending", row: "New memes per button push", value: "25 memes",
              checked: "25 memes" },
            { tag: "sort", tab: "Trending", row: "Sort by", value: "hot", checked: "hot" },
            { tag: "quality", tab: "Bunker", row: "Meme quality [disabled for now]", value: "Auto", checked: "Auto" },
            { tag: "lines", tab: "Copypasta", row: "Max number of lines in previews", value: "10", checked: "" },
        ]
    }

    function test_defaultsShown(data) {
        openSettings()
        showTab(data.tab)
        compare(rowValue(data.row), data.value)
        if (data.checked !== "")
            verify(option(data.row, data.checked).checked, data.checked + " checked")
    }

    function test_switchesOffByDefault() {
        openSettings()
        showTab("General")
        compare(findItem(swipeView(), withText("Dark mode")).checked, false)
        compare(findItem(swipeView(), withText("Decrease meme brightness in dark mode")).checked, false)
    }

    function test_choiceStored_data() {
        return [
            { tag: "theme", tab: "General", row: "Theme (experimental)", option: "Fusion",
              key: "global/theme", value: "Fusion", shown: "Fusion" },
            { tag: "memes per push", tab: "Trending", row: "New memes per button push", option: "50 memes",
              key: "trending/number", value: "50", shown: "50 memes" },
            { tag: "sort", tab: "Trending", row: "Sort by", option: "top",
              key: "trending/sort", value: "top", shown: "top" },
            { tag: "quality", tab: "Bunker", row: "Meme quality [disabled for now]", option: "Low (compressed)",
              key: "bunker/imgQuality", value: "0", shown: "Low" },
            { tag: "high quality", tab: "Bunker", row: "Meme quality [disabled for now]", option: "High (uncompressed)",
              key: "bunker/imgQuality", value: "100", shown: "High" },
        ]
    }

    function test_choiceStored(data) {
        openSettings()
        showTab(data.tab)
        var choice = option(data.row, data.option)
        mouseClick(choice)
        tryCompare(choice, "visible", false)
        tryVerify(function () {
            return stored(data.key) === data.value
        }, 5000, data.key + " stored")
        compare(rowValue(data.row), data.shown)
        verify(option(data.row, data.option).checked)
    }

    function test_choiceShownOnNewPage() {
        openSettings()
        showTab("Trending")
        var choice = option("New memes per button push", "50 memes")
        mouseClick(choice)
        tryCompare(choice, "visible", false)
        leaveSettings()
        openSettings()
        showTab("Trending")
        compare(rowValue("New memes per button push"), "50 memes")
        verify(option("New memes per button push", "50 memes").checked)
        verify(!option("New memes per button push", "25 memes").checked)
    }

    function test_switchStored_data() {
        return [
            { tag: "dark mode", text: "Dark mode", key: "global/themeMode", on: String(Material.Dark) },
            { tag: "brightness", text: "Decrease meme brightness in dark mode", key: "global/decreaseBrightness", on: "true" },
        ]
    }

    function test_switchStored(data) {
        openSettings()
        showTab("General")
        var toggle = findItem(swipeView(), withText(data.text))
        mouseClick(toggle)
        compare(toggle.checked, true)
        tryVerify(function () {
            return stored(data.key) === data.on
        }, 5000, data.key + " stored")
    }

    // Off means the system's choice again, never the light theme.
    function test_darkModeOffStoresSystem() {
        openSettings()
        showTab("General")
        var toggle = findItem(swipeView(), withText("Dark mode"))
        mouseClick(toggle)
        compare(appWindow.themeMode, Material.Dark)
        compare(appWindow.Material.theme, Material.Dark)
        mouseClick(toggle)
        compare(toggle.checked, false)
        compare(appWindow.themeMode, Material.System)
        tryVerify(function () {
            return stored("global/themeMode") === String(Material.System)
        }, 5000, "Material.System stored")
    }

    function test_lineSlider() {
        openSettings()
        showTab("Copypasta")
        var slider = lineSlider()
        var popupLabel = slider.parent.children[2]
        compare(slider.value, 10)
        compare(popupLabel.text, "10")

        mouseDrag(slider, slider.width / 2, slider.height / 2, slider.width, 0)
        compare(slider.value, 201)
        compare(rowValue("Max number of lines in previews"), "No limit")
        compare(popupLabel.text, "No limit")
        tryVerify(function () {
            return stored("copypasta/lineNumber") === "0"
        }, 5000, "no limit stored as 0")

        setSlider(slider, 12)
        compare(rowValue("Max number of lines in previews"), "12")
        compare(popupLabel.text, "12")
        tryVerify(function () {
            return stored("copypasta/lineNumber") === "12"
        }, 5000, "12 stored")

        // The lines chooser has no option to close it: Escape does.
        keyClick(Qt.Key_Escape)
        tryCompare(slider, "visible", false)
    }

    function test_storedNoLimitPutsSliderAtEnd() {
        settingsElement("copypasta").lineNumber = 0
        openSettings()
        showTab("Copypasta")
        compare(rowValue("Max number of lines in previews"), "No limit")
        compare(lineSlider().value, 201)
    }

    function test_tabWidths_data() {
        return [
            { tag: "500 wide", width: 500, tabWidth: 150 },
            { tag: "600 wide", width: 600, tabWidth: 150 },
            { tag: "800 wide", width: 800, tabWidth: 200 },
        ]
    }

    function test_tabWidths(data) {
        appWindow.width = data.width
        openSettings()
        var names = ["General", "Trending", "Bunker", "Copypasta"]
        for (var i = 0; i < names.length; ++i)
            tryCompare(findItem(tabBar(), withText(names[i])), "width", data.tabWidth, 5000, names[i])
    }

    function test_tabsAndPagesInStep() {
        openSettings()
        showTab("Copypasta")
        // A page made afresh starts on the first tab.
        leaveSettings()
        openSettings()
        compare(tabBar().currentIndex, 0)
        compare(swipeView().currentIndex, 0)
        var view = swipeView()
        for (var page = 1; page <= 2; ++page) {
            mouseDrag(view, view.width * 0.8, view.height / 2, -view.width * 0.6, 0)
            waitForPage(page)
            compare(tabBar().currentIndex, page)
        }
        compare(tabBar().currentItem.text, "Bunker")
        showTab("Copypasta")
        compare(view.currentIndex, 3)
        compare(tabBar().currentIndex, 3)
    }

    function test_chooserTitlesAndNotes_data() {
        return [
            { tag: "theme", tab: "General", row: "Theme (experimental)", title: "Theme",
              note: "Restart required to apply the changes.\nMaterial is the only 100% working theme.",
              options: ["Classic", "Fusion", "Imagine", "Material", "Universal"] },
            { tag: "memes per push", tab: "Trending", row: "New memes per button push", title: "New memes per push",
              note: "", options: ["10 memes", "25 memes", "50 memes", "75 memes", "100 memes"] },
            { tag: "sort", tab: "Trending", row: "Sort by", title: "Sort by ...", note: "",
              options: ["controversial", "hot", "new", "top"] },
            { tag: "quality", tab: "Bunker", row: "Meme quality [disabled for now]", title: "Saved memes quality",
              note: "This setting has been disabled for now.\nBetter quality means bigger file size.\nIt is highly recommended to keep the auto setting.",
              options: ["Auto", "Low (compressed)", "Medium", "High (uncompressed)"] },
        ]
    }

    function test_chooserTitlesAndNotes(data) {
        openSettings()
        showTab(data.tab)
        var heading = openChooser(data.row, withText(data.title))
        var column = heading.parent
        var texts = []
        for (var i = 0; i < column.children.length; ++i) {
            if (column.children[i].text !== undefined)
                texts.push(column.children[i].text)
        }
        var expected = [data.title]
        if (data.note !== "")
            expected.push(data.note)
        compare(texts, expected.concat(data.options))
    }

    name: "SettingsPage"
    when: windowShown
}
