import QtQuick 2.12
import QtQuick.Controls 2.12
import QtTest 1.12
import Bunker 1.0
import ShareManager 1.0
import "finders.js" as Finders

// The "Meme bunker" page inside the real main window, driven through the drawer, the add popup and
// the card buttons; downloads come from the loopback test server.
WindowTestCase {
    id: testCase

    property Item standalonePage: null

    function page() {
        return testCase.part("stack").currentItem
    }

    function openBunker() {
        testCase.openWindow()
        testCase.activate()
        testCase.chooseDrawerEntry("Meme bunker")
        tryVerify(function () { return page().fillWithMemes !== undefined })
        return page()
    }

    function cardTitles() {
        return Finders.cardsOf(page()).map(function (card) { return card.title })
    }

    // Fills the add popup as a user would and presses SAVE; returns the popup's form.
    function submitMeme(title, url) {
        mouseClick(Finders.findItem(page(), function (item) {
            return item.icon !== undefined && String(item.icon.source) === "qrc:/icons/add.svg"
        }))
        var form = testCase.openPopupHolding(Finders.withPlaceholder("PepeHands")).parent.parent.parent
        fillAndSave(form, title, url)
        return form
    }

    function fillAndSave(form, title, url) {
        testCase.typeInto(Finders.findItem(form, Finders.withPlaceholder("PepeHands")), title)
        testCase.typeInto(Finders.findItem(form, function (item) {
            return item.placeholderText !== undefined && item.placeholderText !== "PepeHands"
        }), url)
        mouseClick(Finders.findItem(form, Finders.withText("SAVE")))
    }

    function saveMeme(title) {
        var before = page().count
        var form = submitMeme(title, testServer.url + "/img/still.png")
        tryCompare(form, "visible", false)
        tryCompare(page(), "count", before + 1)
        tryVerify(function () { return cardTitles()[0] === title }, 5000, "the new card on top")
    }

    function imageFiles() {
        return testHelper.bunkerFiles().filter(function (name) { return name.slice(-4) !== ".dat" })
    }

    function init() {
        shareRecorder.clear()
        storeSpy.clear()
        var stored = JSON.parse(bunker.load())
        for (var i = 0; i < stored.length; ++i)
            bunker.remove(stored[i].uuid)
        compare(testHelper.bunkerFiles(), [])
    }

    // A page of its own beside the main window, for what needs no drawer.
    function createStandalonePage() {
        testCase.openWindow()
        standalonePage = createTemporaryObject(Qt.createComponent("qrc:/Bunker.qml"), testCase, { "width": 300, "height": 300 })
        verify(standalonePage !== null)
        return standalonePage
    }

    // A rejected form stays open with its messages, downloads nothing, and goes through once fixed.
    function test_validation_data() {
        var picture = testServer.url + "/img/still.png"
        return [
            { tag: "both empty", title: "", url: "", titleError: true, urlError: true },
            { tag: "a title of one blank", title: " ", url: picture, titleError: false, urlError: false },
        ]
    }

    function test_validation(data) {
        openBunker()
        var form = submitMeme(data.title, data.url)
        var title = data.title
        if (data.titleError || data.urlError) {
            verify(form.visible)
            compare(Finders.findItem(form, Finders.withText("Your title is empty !")) !== null, data.titleError)
            compare(Finders.findItem(form, Finders.withText("Your meme url is empty !")) !== null, data.urlError)
            compare(testHelper.bunkerFiles(), [])
            title = "Fixed"
            fillAndSave(form, title, testServer.url + "/img/still.png")
        }
        tryCompare(form, "visible", false)
        tryVerify(function () { return cardTitles().length === 1 }, 5000, "the new card")
        compare(cardTitles(), [title])
    }

    // From an empty bunker, each save goes on top and raises the counter. The card's picture loads
    // from a real file URL, while sharing gets the bare path.
    function test_successfulSaveGoesOnTop() {
        compare(openBunker().count, 0)
        compare(testCase.memeCounterText(), "0")
        saveMeme("Older")
        saveMeme("Newer")
        compare(cardTitles(), ["Newer", "Older"])
        compare(imageFiles().length, 2)
        compare(testCase.memeCounterText(), "2")

        var card = Finders.cardsOf(page())[0]
        var path = page().model.get(0).path
        compare(path, testHelper.bunkerPath() + page().model.get(0).uuid + ".png")
        compare(decodeURIComponent(card.url.slice("file://".length)), path)
        mouseClick(Finders.buttonOf(card, "SHARE"))
        compare(shareRecorder.paths, [path])
    }

    function test_failedSaveShowsError() {
        openBunker()
        saveMeme("Kept")
        var form = submitMeme("Lost", testServer.url + "/img/missing.png")
        var message = testCase.openPopupHolding(Finders.withText("Can't add your meme"))
        verify(Finders.findItem(message.parent, Finders.withText("Invalid URL specified :S")) !== null)
        compare(cardTitles(), ["Kept"])
        compare(page().count, 1)
        compare(imageFiles().length, 1)
        keyClick(Qt.Key_Escape)
        tryCompare(message, "visible", false)
        verify(!form.visible)
    }

    function test_fileUrl_data() {
        return [
            { tag: "upper-case first folder", path: "/Users/Me/a.png", url: "file:///Users/Me/a.png" },
            { tag: "url delimiters", path: "/data/#1?/50%/c.jpeg", url: "file:///data/%231%3F/50%25/c.jpeg" },
            { tag: "non-latin", path: "/data/мемы/d.png", url: "file:///data/%D0%BC%D0%B5%D0%BC%D1%8B/d.png" },
            { tag: "drive letter", path: "C:/Users/e.png", url: "file:///C:/Users/e.png" },
        ]
    }

    function test_fileUrl(data) {
        compare(createStandalonePage().fileUrl(data.path), data.url)
    }

    // REMOVE deletes both files and lowers the counter; a page made afresh lists what is stored,
    // a meme saved while it was gone included.
    function test_removeAndReopen() {
        openBunker()
        saveMeme("Doomed")
        saveMeme("Survivor")
        var doomed = page().model.get(1)
        mouseClick(Finders.buttonOf(testCase.cards(page(), 2)[1], "REMOVE"))
        testCase.cards(page(), 1)
        compare(cardTitles(), ["Survivor"])
        verify(!testHelper.fileExists(doomed.path))
        verify(!testHelper.fileExists(testHelper.bunkerPath() + doomed.uuid + ".dat"))
        compare(testCase.memeCounterText(), "1")

        testCase.chooseDrawerEntry("Copypasta")
        bunker.saveFromUrl("Third", testServer.url + "/img/photo.jpg")
        tryCompare(storeSpy, "count", 1)
        testCase.chooseDrawerEntry("Meme bunker")
        tryVerify(function () { return page().fillWithMemes !== undefined })
        testCase.cards(page(), 2)
        // Two saves within one second may list either way round; the page follows the bunker.
        compare(cardTitles(), JSON.parse(bunker.load()).map(function (meme) { return meme.title }))
        compare(cardTitles().sort(), ["Survivor", "Third"])
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
        compare(testCase.scriptWarnings("Bunker.qml"), [])
    }

    // REMOVE offers UNDO for a few seconds: UNDO puts the card back in its place, with its files.
    // Once the bar closes, by itself or as the page is left, the files are in the trash.
    function test_undoBar_data() {
        return [{ tag: "undo" }, { tag: "bar closes by itself" }, { tag: "page left" }]
    }

    function test_undoBar(data) {
        openBunker()
        saveMeme("Oldest")
        saveMeme("Middle")
        saveMeme("Newest")
        var uuid = page().model.get(1).uuid
        var names = [uuid + ".dat", uuid + ".png"]
        mouseClick(Finders.buttonOf(testCase.cards(page(), 3)[1], "REMOVE"))
        var message = Finders.findItem(page(), Finders.withText("Meme removed"))
        verify(message !== null, "the bar is shown")
        compare(testCase.memeCounterText(), "2")
        if (data.tag === "undo") {
            mouseClick(Finders.buttonOf(page(), "UNDO"))
            compare(Finders.titlesOf(page().model), ["Newest", "Middle", "Oldest"])
            compare(page().model.get(1).uuid, uuid)
            compare(testCase.memeCounterText(), "3")
        } else if (data.tag === "page left") {
            testCase.chooseDrawerEntry("Copypasta")
        }
        var trashed = data.tag !== "undo"
        tryVerify(function () {
            return names.every(function (name) {
                return testHelper.fileExists(testHelper.dataLocation() + "/../Trash/files/" + name) === trashed
                        && testHelper.fileExists(testHelper.bunkerPath() + name) === !trashed
            })
        }, 8000, "in the trash: " + trashed)
    }

    name: "BunkerPage"

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
