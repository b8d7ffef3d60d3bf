import QtQuick 2.12
import QtQuick.Controls 2.12
import QtTest 1.12
import Bunker 1.0
import ShareManager 1.0

// The "Meme bunker" page inside the real main window, driven through the drawer, the add popup and
// the card buttons; downloads come from the loopback test server.
TestCase {
    id: testCase

    // Typed, so that it reads null once the window is really gone.
    property QtObject appWindow: null
    property Item standalonePage: null
    // What a page outside the main window sizes its popups by.
    readonly property Item window: testCase

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
        var accept = function (item) {
            return item.text === text
        }
        accept.description = JSON.stringify(text)
        return accept
    }

    function withPlaceholder(text) {
        var accept = function (item) {
            return item.placeholderText === text
        }
        accept.description = "the field " + JSON.stringify(text)
        return accept
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

    function page() {
        return stack().currentItem
    }

    // An item accepted by accept inside an open popup (or the drawer, once it is fully out). The
    // enter transition's fade is not awaited: now and then, after a save, it stays on its first
    // frame under the test runner while the popup itself works.
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
        }, 5000, "an open popup holding " + accept.description)
        return found
    }

    function chooseDrawerEntry(title) {
        mouseClick(findItem(appWindow.header, withIcon("qrc:/icons/menu.svg")))
        var entry = openPopupHolding(withText(title))
        mouseClick(entry)
        tryCompare(entry, "visible", false)
    }

    // Chooses "Meme bunker" in the drawer, first opening the main window if there is none yet.
    function openBunker() {
        if (appWindow === null) {
            appWindow = createTemporaryObject(Qt.createComponent("qrc:/main.qml"), null)
            verify(appWindow !== null)
            // Typed keys go to the focused window.
            appWindow.requestActivate()
            tryCompare(appWindow, "active", true)
            waitForRendering(appWindow.contentItem)
        }
        testCase.chooseDrawerEntry("Meme bunker")
        tryVerify(function () {
            return page().fillWithMemes !== undefined
        })
        return page()
    }

    function drawerCounter() {
        mouseClick(findItem(appWindow.header, withIcon("qrc:/icons/menu.svg")))
        var caption = openPopupHolding(withText("memes saved"))
        var count = caption.parent.children[0].text
        keyClick(Qt.Key_Escape)
        tryCompare(caption, "visible", false)
        return count
    }

    // Cards in screen order, leaving out any that is still fading away.
    function cards() {
        var list = page()
        var found = []
        for (var i = 0; i < list.contentItem.children.length; ++i) {
            var child = list.contentItem.children[i]
            if (child.insideBunker !== undefined && child.opacity === 1)
                found.push(child)
        }
        found.sort(function (a, b) {
            return a.y - b.y
        })
        return found
    }

    function cardTitles() {
        return cards().map(function (card) {
            return card.title
        })
    }

    function typeInto(field, text) {
        mouseClick(field)
        tryCompare(field, "activeFocus", true)
        keyClick(Qt.Key_A, Qt.ControlModifier)
        keyClick(Qt.Key_Delete)
        for (var i = 0; i < text.length; ++i)
            keyClick(text.charAt(i))
        compare(field.text, text)
    }

    // Fills the add popup as a user would and presses SAVE; returns the popup's SAVE button.
    function submitMeme(title, url) {
        mouseClick(findItem(page(), withIcon("qrc:/icons/add.svg")))
        var titleField = openPopupHolding(withPlaceholder("PepeHands"))
        var urlField = findItem(titleField.parent.parent.parent, function (item) {
            return item.placeholderText !== undefined && item.placeholderText !== "PepeHands"
        })
        typeInto(titleField, title)
        typeInto(urlField, url)
        var save = findItem(titleField.parent.parent.parent, withText("SAVE"))
        mouseClick(save)
        return save
    }

    function saveMeme(title) {
        var before = page().count
        var save = submitMeme(title, testServer.url + "/img/still.png")
        tryCompare(save, "visible", false)
        tryCompare(page(), "count", before + 1)
        tryVerify(function () {
            return cards().length > 0 && cards()[0].title === title
        }, 5000, "the new card on top")
    }

    function imageFilesIn(files) {
        return files.filter(function (name) {
            return name.slice(-4) !== ".dat"
        })
    }

    function init() {
        shareRecorder.clear()
        storeSpy.clear()
        var stored = JSON.parse(bunker.load())
        for (var i = 0; i < stored.length; ++i)
            bunker.remove(stored[i].uuid)
        compare(testHelper.bunkerFiles(), [])
    }

    function cleanup() {
        if (appWindow === null)
            return
        // Two main windows alive at once would share settings elements; wait for the old one to go.
        appWindow.destroy()
        tryCompare(testCase, "appWindow", null)
    }

    // A page of its own, outside the main window, for what needs no window around it.
    function createStandalonePage() {
        standalonePage = createTemporaryObject(Qt.createComponent("qrc:/Bunker.qml"), testCase,
                                               { "width": 300, "height": 300 })
        verify(standalonePage !== null)
        return standalonePage
    }

    function test_emptyBunker() {
        var bunkerPage = openBunker()
        compare(bunkerPage.count, 0)
        compare(cards().length, 0)
        compare(findItem(appWindow.overlay, withText("Can't add your meme")), null)
        compare(drawerCounter(), "0")
    }

    function test_validation_data() {
        var picture = testServer.url + "/img/still.png"
        return [
            { tag: "title only", title: "Pepe", url: "", titleError: false, urlError: true },
            { tag: "url only", title: "", url: picture, titleError: true, urlError: false },
            { tag: "both empty", title: "", url: "", titleError: true, urlError: true },
            { tag: "a title of one blank", title: " ", url: picture, titleError: false, urlError: false },
        ]
    }

    function test_validation(data) {
        openBunker()
        var save = submitMeme(data.title, data.url)
        var form = save.parent.parent.parent
        var titleError = findItem(form, withText("Your title is empty !"))
        var urlError = findItem(form, withText("Your meme url is empty !"))
        var accepted = !data.titleError && !data.urlError
        if (accepted) {
            tryCompare(save, "visible", false)
            tryVerify(function () {
                return cards().length === 1
            }, 5000, "the new card")
            compare(cards()[0].title, data.title)
        } else {
            // The popup stays open and nothing is downloaded.
            verify(save.visible)
            compare(titleError.visible, data.titleError)
            compare(urlError.visible, data.urlError)
            compare(testHelper.bunkerFiles(), [])
        }
    }

    function test_secondSaveHidesMessage() {
        openBunker()
        var save = submitMeme("Pepe", "")
        var urlError = findItem(save.parent.parent.parent, withText("Your meme url is empty !"))
        verify(urlError.visible)
        var urlField = findItem(save.parent.parent.parent, function (item) {
            return item.placeholderText !== undefined && item.placeholderText !== "PepeHands"
        })
        typeInto(urlField, testServer.url + "/img/still.png")
        mouseClick(save)
        tryCompare(save, "visible", false)
        compare(urlError.visible, false)
        tryVerify(function () {
            return cards().length === 1
        })
    }

    function test_successfulSaveGoesOnTop() {
        openBunker()
        saveMeme("Older")
        saveMeme("Newer")
        compare(cardTitles(), ["Newer", "Older"])
        compare(page().model.get(0).title, "Newer")
        // The new card shrinks once its picture is in while the old one moves aside: no gap stays.
        tryVerify(function () {
            var shown = cards()
            return shown.length === 2 && shown[0].memeImg !== null && shown[0].memeImg.status === Image.Ready
                    && Math.abs(shown[1].y - (shown[0].y + shown[0].height + 30)) < 1
        }, 5000, "the cards 30 apart")
        compare(imageFilesIn(testHelper.bunkerFiles()).length, 2)
        compare(drawerCounter(), "2")
    }

    function test_failedSaveShowsError() {
        openBunker()
        saveMeme("Kept")
        var save = submitMeme("Lost", testServer.url + "/img/missing.png")
        var message = openPopupHolding(withText("Can't add your meme"))
        verify(findItem(message.parent, withText("Invalid URL specified :S")).visible)
        compare(cardTitles(), ["Kept"])
        compare(page().count, 1)
        compare(imageFilesIn(testHelper.bunkerFiles()).length, 1)
        keyClick(Qt.Key_Escape)
        tryCompare(message, "visible", false)
        verify(!save.visible)
    }

    // The card's picture must load from a real file URL, while sharing gets the bare path.
    function test_cardShowsSavedPicture() {
        openBunker()
        saveMeme("Local picture")
        var card = cards()[0]
        var path = page().model.get(0).path
        compare(path, testHelper.bunkerPath() + imageFilesIn(testHelper.bunkerFiles())[0])
        tryVerify(function () {
            return card.memeImg !== null && card.memeImg.status === Image.Ready
        }, 5000, "the saved picture loaded")
        verify(card.url.indexOf("file:///") === 0, card.url)
        compare(decodeURIComponent(card.url.slice("file://".length)), path)
    }

    function test_fileUrl_data() {
        return [
            { tag: "plain", path: "/tmp/a.png", url: "file:///tmp/a.png" },
            { tag: "upper-case first folder", path: "/Users/Me/a.png", url: "file:///Users/Me/a.png" },
            { tag: "space", path: "/home/u/Jest Crate/b.gif", url: "file:///home/u/Jest%20Crate/b.gif" },
            { tag: "url delimiters", path: "/data/#1?/50%/c.jpeg", url: "file:///data/%231%3F/50%25/c.jpeg" },
            { tag: "non-latin", path: "/data/мемы/d.png", url: "file:///data/%D0%BC%D0%B5%D0%BC%D1%8B/d.png" },
            { tag: "drive letter", path: "C:/Users/e.png", url: "file:///C:/Users/e.png" },
        ]
    }

    function test_fileUrl(data) {
        compare(createStandalonePage().fileUrl(data.path), data.url)
    }

    function test_removeDeletesFilesAndLowersCounter() {
        openBunker()
        saveMeme("Doomed")
        saveMeme("Survivor")
        compare(drawerCounter(), "2")
        var doomed = page().model.get(1)
        var doomedFiles = [doomed.path, testHelper.bunkerPath() + doomed.uuid + ".dat"]
        verify(testHelper.fileExists(doomedFiles[0]))
        verify(testHelper.fileExists(doomedFiles[1]))

        mouseClick(findItem(cards()[1], withText("REMOVE")))
        tryVerify(function () {
            return cards().length === 1
        }, 5000, "the card gone")
        compare(cardTitles(), ["Survivor"])
        compare(page().count, 1)
        verify(!testHelper.fileExists(doomedFiles[0]))
        verify(!testHelper.fileExists(doomedFiles[1]))
        compare(testHelper.bunkerFiles().length, 2)
        compare(drawerCounter(), "1")
    }

    function test_shareHandsOverPlainPath() {
        openBunker()
        saveMeme("Shared")
        var path = testHelper.bunkerPath() + imageFilesIn(testHelper.bunkerFiles())[0]
        mouseClick(findItem(cards()[0], withText("SHARE")))
        compare(shareRecorder.paths, [path])
    }

    function test_reopeningRebuildsList() {
        openBunker()
        saveMeme("First")
        saveMeme("Second")
        chooseDrawerEntry("Copypasta")
        tryVerify(function () {
            return page().fillWithMemes === undefined
        })
        // Saved elsewhere while the page is gone: the next page lists it too.
        bunker.saveFromUrl("Third", testServer.url + "/img/photo.jpg")
        tryCompare(storeSpy, "count", 1)
        compare(storeSpy.signalArguments[0][0], true)
        openBunker()
        var expected = JSON.parse(bunker.load()).map(function (meme) {
            return meme.title
        })
        compare(expected.length, 3)
        tryVerify(function () {
            return cards().length === 3
        })
        compare(cardTitles(), expected)
    }

    // A save that ends after the page is gone must not reach the dead page's handler.
    function test_handlerReleasedWithPage() {
        compare(createStandalonePage().count, 0)
        standalonePage.destroy()
        tryCompare(testCase, "standalonePage", null)

        testHelper.recordWarnings()
        bunker.saveFromUrl("Late failure", testServer.url + "/img/missing.png")
        tryCompare(storeSpy, "count", 1)
        bunker.saveFromUrl("Late success", testServer.url + "/img/still.png")
        tryCompare(storeSpy, "count", 2)
        compare(storeSpy.signalArguments[1][0], true)
        compare(testHelper.recordedWarnings(), [])
    }

    name: "BunkerPage"
    when: windowShown

    // A second handle on the window's bunker directory, to empty it between test functions; it
    // and the two elements below also let a page run outside the window.
    Bunker {
        id: bunker
    }

    ShareManager {
        id: shareManager
    }

    FontLoader {
        id: montserrat

        source: "qrc:/fonts/Montserrat-Regular.ttf"
    }

    SignalSpy {
        id: storeSpy

        target: bunker
        signalName: "imageSaved"
    }
}
