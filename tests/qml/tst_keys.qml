import QtQuick 2.12
import QtQuick.Controls 2.12
import QtTest 1.12
import Bunker 1.0
import "finders.js" as Finders

// Keys and share menus of the real main window, one row per key (or menu entry) and its effect, on
// the feed (four posts with their pages) or in the bunker (three saved memes). The window's
// ShareManager has the desktop facility, with an opener that only records.
WindowTestCase {
    id: testCase

    function openPage(name) {
        testHelper.writeSetting("trending/sort", "permalinks")
        for (var i = 1; name === "bunker" && i <= 3; ++i)
            saveMeme("Saved " + i)
        testCase.openWindowWithFeed()
        testHelper.attachDesktopShare(testCase.part("shareManager"))
        testCase.activate()
        if (name === "bunker")
            testCase.chooseDrawerEntry("Meme bunker")
        testCase.cards(testCase.page(), name === "bunker" ? 3 : 4).forEach(testCase.waitForPicture)
    }

    function saveMeme(title) {
        savedSpy.clear()
        store.saveFromUrl(title, testServer.url + "/img/still.png")
        savedSpy.wait(5000)
    }

    // As the window's own bunker lists them.
    function storedTitles() {
        return JSON.parse(testCase.part("bunker").load()).map(function (meme) { return meme.title }).sort()
    }

    // What a row expects opened: a post's page (by its key), or the current saved card's file or folder.
    function openedFor(what) {
        var page = testCase.page()
        var file = what === "file" || what === "folder" ? page.fileUrl(page.currentItem.path) : ""
        return what === "file" ? file : what === "folder" ? file.replace(/\/[^\/]*$/, "")
                                                          : testServer.url + "/r/dankmemes/comments/" + what + "/post/"
    }

    function init() {
        JSON.parse(store.load()).forEach(function (meme) { store.remove(meme.uuid) })
    }

    function test_keys_data() {
        return [
            { tag: "Down", page: "feed", keys: ["Down"], current: 1 },
            { tag: "J twice, K", page: "feed", keys: ["J", "J", "K"], current: 1 },
            { tag: "End", page: "feed", keys: ["End"], current: 3 },
            { tag: "S saves", page: "feed", keys: ["Down", "S"], stored: ["Post k2"] },
            { tag: "Delete hides", page: "feed", keys: ["Down", "Delete"], removed: 1 },
            { tag: "C copies the picture", page: "feed", keys: ["C"], image: true, toast: "Picture copied" },
            { tag: "L copies the link", page: "feed", keys: ["Down", "L"], text: "/img/still.png?k2", toast: "Link copied" },
            { tag: "O opens the post", page: "feed", keys: ["Down", "Down", "O"], opened: "k3" },
            { tag: "C copies a saved picture", page: "bunker", keys: ["C"], image: true, toast: "Picture copied" },
            { tag: "O opens a saved picture", page: "bunker", keys: ["O"], opened: "file" },
            { tag: "F opens its folder", page: "bunker", keys: ["F"], opened: "folder" },
            { tag: "menu: copy link", page: "feed", menu: "Copy link", key: "L", text: "/img/still.png?k1", toast: "Link copied" },
            { tag: "menu: show in folder", page: "bunker", menu: "Show in folder", key: "F", opened: "folder" },
            { tag: "Down in the bunker", page: "bunker", keys: ["Down"], current: 1 },
            { tag: "Delete removes", page: "bunker", keys: ["Down", "Delete"], removed: 1 },
            { tag: "F5", page: "feed", keys: ["F5"], refreshed: true },
            { tag: "Ctrl+,", page: "feed", keys: ["Ctrl+,"], subPage: true },
            { tag: "Escape", page: "feed", keys: ["Ctrl+,", "Esc"], subPage: false },
            { tag: "Alt+Left", page: "bunker", keys: ["Ctrl+,", "Alt+Left"], subPage: false },
            { tag: "Ctrl+Q", page: "feed", keys: ["Ctrl+Q"], closed: true },
            { tag: "Ctrl+N in the bunker", page: "bunker", keys: ["Ctrl+N"], opens: "addMemePopup" },
            // The text area keeps most of these keys from the shortcuts itself, but not PgDown.
            { tag: "typing into a text area", page: "feed", keys: ["S", "J", "Down", "PgDown", "Delete"], field: true, current: 0 },
        ]
    }

    function test_keys(data) {
        testCase.openPage(data.page)
        var firstPage = testCase.page()
        var field = data.field ? createTemporaryObject(textAreaComponent, testCase.window.contentItem) : null
        if (field !== null)
            field.forceActiveFocus()
        var titlesBefore = testCase.cardTitles()
        if (data.menu !== undefined) {
            var card = testCase.page().currentItem
            mouseClick(data.page === "feed" ? card.shareButton : Finders.buttonOf(card, "SHARE"))
            var item = testCase.openPopupHolding(Finders.withText(data.menu))
            compare(item.key, data.key)
            mouseClick(item)
        }
        (data.keys || []).forEach(function (key) { testHelper.keySequence(testCase.window, key) })

        if (data.current !== undefined) {
            var page = testCase.page()
            tryCompare(page, "currentIndex", data.current)
            verify(page.currentItem.y >= page.contentY - 1 && page.currentItem.y < page.contentY + page.height, "card in sight")
        }
        if (data.field)
            compare([field.text, storedTitles().length, testCase.cardTitles().length], ["sj", 0, 4])
        if (data.removed !== undefined) {
            var left = titlesBefore.filter(function (title, index) { return index !== data.removed })
            tryVerify(function () { return String(testCase.cardTitles()) === String(left) }, 5000, "cards left: " + left)
            compare(storedTitles(), data.page === "bunker" ? left.sort() : [])
        }
        if (data.stored !== undefined)
            tryVerify(function () { return String(storedTitles()) === String(data.stored) }, 5000, "stored " + data.stored)
        if (data.toast !== undefined)
            tryCompare(testCase.part("toast"), "text", data.toast)
        if (data.image)
            tryVerify(function () { return testHelper.clipboardHasImage() }, 5000, "picture on the clipboard")
        if (data.text !== undefined)
            compare(testHelper.clipboardText(), testServer.url + data.text)
        if (data.opened !== undefined)
            compare(testHelper.openedUrls(), [testCase.openedFor(data.opened)])
        if (data.refreshed)
            verify(testCase.page() !== firstPage, "a new feed page")
        if (data.subPage !== undefined)
            tryCompare(testCase.window, "onSubPage", data.subPage)
        if (data.closed)
            tryCompare(testCase.window, "visible", false)
        if (data.opens !== undefined)
            tryCompare(testCase.part(data.opens), "opened", true)
    }

    // Scrolled to its end, the list leaves the last card's SHARE clear of the round add button.
    function test_lastCardClearOfAddButton() {
        for (var i = 1; i <= 4; ++i)
            saveMeme("Saved " + i)
        var list = testCase.openDrawerPage("Meme bunker")
        var addButton = Finders.findItem(list, function (item) { return item instanceof RoundButton })
        tryVerify(function () {
            // Again each time: a card still loading its picture grows and moves the end.
            list.currentIndex = list.count - 1
            list.contentY = list.originY + list.contentHeight + list.bottomMargin - list.height
            var button = Finders.buttonOf(list.currentItem, "SHARE")
            return list.count >= 4 && list.atYEnd && button.mapToItem(list, 0, button.height).y <= addButton.y
        }, 5000, "the last SHARE above the add button")
    }

    Bunker {
        id: store
    }

    SignalSpy {
        id: savedSpy

        target: store
        signalName: "imageSaved"
    }

    Component {
        id: textAreaComponent

        TextArea {
        }
    }
}
