import QtQuick 2.12
import QtTest 1.12
import Bunker 1.0
import "finders.js" as Finders

// The "Meme bunker" page inside the real main window, driven through the drawer, the add popup and
// the card buttons; downloads come from the loopback test server.
WindowTestCase {
    id: testCase

    readonly property string urlHint: "https://i.imgur.com/example.gif"

    function saveMeme(title) {
        testCase.addThroughForm("PepeHands", title, testCase.urlHint, testServer.url + "/img/still.png")
    }

    function init() {
        var stored = JSON.parse(bunker.load())
        for (var i = 0; i < stored.length; ++i)
            bunker.remove(stored[i].uuid)
        compare(testHelper.bunkerFiles(), [])
    }

    function test_emptyFormRefused() {
        testCase.openDrawerPage("Meme bunker")
        testCase.submitAddForm("PepeHands", "", testCase.urlHint, "")
        testCase.openPopupHolding(Finders.withText("Your title is empty !"))
        testCase.openPopupHolding(Finders.withText("Your meme url is empty !"))
    }

    function test_failedSaveSaidSo() {
        testCase.openDrawerPage("Meme bunker")
        testCase.submitAddForm("PepeHands", "Lost", testCase.urlHint, testServer.url + "/img/missing.png")
        testCase.openPopupHolding(Finders.withText("Can't add your meme"))
    }

    // Each save goes on top. SHARE hands over the bare path, while
    // the card's picture loads from a file URL that no character of the path can cut short.
    function test_saveGoesOnTopAndSharesPath() {
        var page = testCase.openDrawerPage("Meme bunker")
        saveMeme("Older")
        saveMeme("Newer")
        compare(testCase.cardTitles(), ["Newer", "Older"])
        mouseClick(Finders.buttonOf(Finders.cardsOf(page)[0], "SHARE"))
        compare(shareRecorder.paths, [page.model.get(0).path])
        compare(page.fileUrl("/data/#1?/50%/c.jpeg"), "file:///data/%231%3F/50%25/c.jpeg")
    }

    // The bunker orders memes by the second only, so saves ending within one second list in any
    // order among themselves: each must still show exactly once.
    function test_quickSavesEachShowOnce() {
        var page = testCase.openDrawerPage("Meme bunker")
        var titles = ["1", "2", "3", "4", "5", "6"]
        titles.forEach(function (title) {
            testCase.part("bunker").saveFromUrl(title, testServer.url + "/img/still.png")
        })
        tryCompare(page, "count", titles.length)
        compare(Finders.titlesOf(page.model).sort(), titles)
    }

    // REMOVE takes the files out of the bunker at once. UNDO puts them and the card back in place;
    // leaving the page closes the bar instead, and the files go to the trash.
    function test_remove_data() {
        return [{ tag: "undo", undo: true }, { tag: "page left", undo: false }]
    }

    function test_remove(data) {
        var page = testCase.openDrawerPage("Meme bunker")
        saveMeme("Oldest")
        saveMeme("Middle")
        saveMeme("Newest")
        var middlePath = page.model.get(1).path
        var trashedRecord = testHelper.dataLocation() + "/../Trash/files/" + page.model.get(1).uuid + ".dat"
        mouseClick(Finders.buttonOf(testCase.cards(page, 3)[1], "REMOVE"))
        testCase.cards(page, 2)
        verify(!testHelper.fileExists(middlePath))
        if (data.undo) {
            var undo = null
            tryVerify(function () {
                undo = Finders.buttonOf(page, "UNDO")
                return undo !== null && undo.visible
            }, 5000, "UNDO offered")
            mouseClick(undo)
            compare(Finders.titlesOf(page.model), ["Newest", "Middle", "Oldest"])
        } else {
            testCase.chooseDrawerEntry("Copypasta")
        }
        tryVerify(function () {
            return testHelper.fileExists(middlePath) === data.undo && testHelper.fileExists(trashedRecord) === !data.undo
        }, 5000, data.undo ? "back in the bunker" : "in the trash")
    }

    name: "BunkerPage"

    // A second handle on the window's bunker directory, to empty it between test functions.
    Bunker {
        id: bunker
    }
}
