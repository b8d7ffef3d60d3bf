import QtQuick 2.12
import QtQuick.Controls 2.12
import QtQuick.Controls.Material 2.12
import QtTest 1.12
import "finders.js" as Finders

// The settings page inside the real main window, reached through the "more" menu: what its rows
// show, what each choice stores in the default settings store, and how its tabs behave.
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

    function option(rowTitle, text) {
        return openChooser(rowTitle, function (item) { return item.text === text && item.checked !== undefined })
    }

    function lineSlider() {
        return openChooser("Max number of lines in previews", function (item) { return item.from === 1 && item.to === 201 })
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

    // One window serves every test; its settings elements go back to their defaults in between.
    function init() {
        var defaults = {
            "globalSettings": { "theme": "Material", "themeMode": Material.System, "decreaseBrightness": false },
            "trendingSettings": { "number": 25, "sort": "hot", "clientId": "", "nsfw": "blurred" },
            "bunkerSettings": { "imgQuality": -1 },
            "copypastaSettings": { "lineNumber": 10 }
        }
        for (var name in defaults) {
            for (var key in defaults[name])
                testCase.part(name)[key] = defaults[name][key]
        }
        testCase.window.width = 800
    }

    function closePopups() {
        if (popupShown()) {
            keyClick(Qt.Key_Escape)
            tryVerify(function () { return !popupShown() }, 5000, "popups closed")
        }
    }

    function cleanup() {
        closePopups()
    }

    function cleanupTestCase() {
        testCase.window.destroy()
        tryCompare(testCase, "window", null)
    }

    // The client ID is typed, stored trimmed and shown plainly; CANCEL keeps the stored one.
    function test_clientId_data() {
        return [
            { tag: "trimmed", before: "", typed: "  <b>id42</b>  ", stored: "<b>id42</b>" },
            { tag: "cancelled", before: "kept", typed: "other", stored: "kept", cancel: true },
        ]
    }

    function test_clientId(data) {
        testCase.part("trendingSettings").clientId = data.before
        showTab("Trending")
        compare(valueLabel("Forum API client ID").text, data.before || "None")
        var field = openChooser("Forum API client ID", function (item) {
            return item.placeholderText === "None" && item.selectByMouse !== undefined
        })
        compare(field.text, data.before)
        tryCompare(field, "activeFocus", true)
        field.selectAll()
        for (var i = 0; i < data.typed.length; ++i)
            keyClick(data.typed.charAt(i))
        if (data.cancel)
            mouseClick(testCase.openPopupHolding(Finders.withText("CANCEL")))
        else
            keyClick(Qt.Key_Return)
        tryCompare(field, "visible", false)
        waitForStored("trending/clientId", data.stored)
        compare(valueLabel("Forum API client ID").text, data.stored)
        compare(valueLabel("Forum API client ID").textFormat, Text.PlainText)
    }

    // Each chooser: its default checked, a choice stored at once and shown in the row.
    function test_chooser_data() {
        return [
            { tag: "theme", tab: "General", row: "Theme (experimental)", initial: "Material", option: "Fusion",
              key: "global/theme", value: "Fusion", shown: "Fusion" },
            { tag: "memes per push", tab: "Trending", row: "New memes per button push", initial: "25 memes",
              option: "50 memes", key: "trending/number", value: "50", shown: "50 memes" },
            { tag: "sort", tab: "Trending", row: "Sort by", initial: "hot", option: "top", key: "trending/sort",
              value: "top", shown: "top" },
            { tag: "nsfw", tab: "Trending", row: "NSFW memes", initial: "Blurred", option: "Hidden",
              key: "trending/nsfw", value: "hidden", shown: "Hidden" },
            { tag: "quality", tab: "Bunker", row: "Meme quality [disabled for now]", initial: "Auto",
              option: "Low (compressed)", key: "bunker/imgQuality", value: "0", shown: "Low" },
        ]
    }

    function test_chooser(data) {
        showTab(data.tab)
        compare(valueLabel(data.row).text, data.initial)
        var initial = option(data.row, data.initial)
        verify(initial.checked, data.initial + " checked")
        var choice = find(initial.parent, data.option)
        mouseClick(choice)
        tryCompare(choice, "visible", false)
        waitForStored(data.key, data.value)
        compare(valueLabel(data.row).text, data.shown)
    }

    // Switched on and off again; dark mode off means the system's choice, never the light theme.
    function test_switchStored_data() {
        return [
            { tag: "dark mode", text: "Dark mode", key: "global/themeMode", on: String(Material.Dark),
              off: String(Material.System), modeOn: Material.Dark },
            { tag: "brightness", text: "Decrease meme brightness in dark mode", key: "global/decreaseBrightness",
              on: "true", off: "false", modeOn: Material.System },
        ]
    }

    function test_switchStored(data) {
        showTab("General")
        var toggle = find(swipeView(), data.text)
        compare(toggle.checked, false)
        mouseClick(toggle)
        compare(toggle.checked, true)
        compare(testCase.window.themeMode, data.modeOn)
        waitForStored(data.key, data.on)
        mouseClick(toggle)
        compare(toggle.checked, false)
        compare(testCase.window.themeMode, Material.System)
        waitForStored(data.key, data.off)
    }

    // The far end means no limit, stored as 0; one step back is a real count again.
    function test_lineSlider() {
        showTab("Copypasta")
        var slider = lineSlider()
        compare(valueLabel("Max number of lines in previews").text, "10")
        mouseDrag(slider, slider.width / 2, slider.height / 2, slider.width, 0)
        compare(valueLabel("Max number of lines in previews").text, "No limit")
        waitForStored("copypasta/lineNumber", "0")
        tryCompare(slider, "activeFocus", true)
        keyClick(Qt.Key_Left)
        compare(valueLabel("Max number of lines in previews").text, "200")
        waitForStored("copypasta/lineNumber", "200")
    }

    function leaveSubPage() {
        if (stack().currentItem.submenu !== true)
            return
        mouseClick(testCase.part("navigationButton"))
        tryVerify(function () { return stack().currentItem.submenu !== true && !stack().busy }, 5000, "settings gone")
    }

    // The note under the NSFW row appears only while the feed below comes through Atom.
    function test_nsfwAtomNote_data() {
        return [
            { tag: "JSON feed", sort: "hot", note: false },
            // Refused as JSON to anonymous readers, so read through Atom.
            { tag: "Atom feed", sort: "guarded", note: true },
        ]
    }

    function test_nsfwAtomNote(data) {
        leaveSubPage()
        // Straight into the store, which the feed reads when it is made.
        testHelper.writeSetting("trending/sort", data.sort)
        try {
            testCase.window.refreshFeed()
            tryVerify(function () { return stack().get(0).count > 0 && stack().get(0).fromAtom === data.note }, 5000,
                      "feed read")
            showTab("Trending")
            var note = Finders.findItem(swipeView(), function (item) {
                return typeof item.text === "string" && item.text.indexOf("does not mark NSFW posts") >= 0
            })
            verify(note !== null)
            compare(note.visible, data.note)
        } finally {
            testHelper.writeSetting("trending/sort", "hot")
        }
    }

    function test_cacheSizeAndClear() {
        leaveSubPage()
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
