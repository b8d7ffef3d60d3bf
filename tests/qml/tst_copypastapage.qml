import QtQuick 2.12
import QtQuick.Controls 2.12
import QtTest 1.12
import CopyPasta 1.0
import "finders.js" as Finders

// The "Copypasta" page inside the real main window: adding through the popup, removing and copying
// from the cards, the preview line limit, and the store on disk behind the shared model.
WindowTestCase {
    id: testCase

    readonly property string storePath: testHelper.dataLocation() + "/../settings/settings.ini"
    readonly property string textHint: "To be fair, you have to have a very high IQ to understand Rick and Morty"

    function storedTitles() {
        var titles = []
        var size = Number(testHelper.readIni(storePath, "copypasta/copypastas/size"))
        for (var i = 1; i <= size; ++i)
            titles.push(testHelper.readIni(storePath, "copypasta/copypastas/" + i + "/title"))
        return titles
    }

    function init() {
        // The model and the store outlive every window: empty both through the service.
        for (var i = existing.count - 1; i >= 0; --i)
            copypastaService.remove(existing.objectAt(i).copypasta, i)
        compare(existing.count, 0)
        testHelper.writeSetting("copypasta/lineNumber", 10)
    }

    function test_emptyFormRefused() {
        var page = testCase.openDrawerPage("Copypasta")
        testCase.submitAddForm("Richard and Mortimer", "", testCase.textHint, "")
        testCase.openPopupHolding(Finders.withText("Your title is empty !"))
        testCase.openPopupHolding(Finders.withText("Your copypasta is empty !"))
        compare(page.count, 0)
        compare(storedTitles(), [])
    }

    // Cards newest first, the store oldest first; a removal takes that one from both.
    function test_addAndRemoveKeepStoreInStep() {
        var page = testCase.openDrawerPage("Copypasta")
        testCase.addThroughForm("Richard and Mortimer", "Alpha", testCase.textHint, "first")
        testCase.addThroughForm("Richard and Mortimer", "Beta", testCase.textHint, "second\nwith two lines")
        testCase.addThroughForm("Richard and Mortimer", "Gamma", testCase.textHint, "third")
        compare(storedTitles(), ["Alpha", "Beta", "Gamma"])
        compare(testHelper.readIni(storePath, "copypasta/copypastas/2/cptext"), "second\nwith two lines")
        mouseClick(Finders.buttonOf(Finders.cardsOf(page)[1], "REMOVE"))
        tryCompare(page, "count", 2)
        compare(storedTitles(), ["Alpha", "Gamma"])
    }

    // The preview is cut at the stored line limit and shown as typed, never as markup; COPY still
    // copies the whole text.
    function test_lineLimitAndCopy() {
        var lines = ["<b>Line 1</b> &amp; <i>markup</i>"]
        for (var i = 2; i <= 30; ++i)
            lines.push("Line " + i + " of a long copypasta")
        testHelper.writeSetting("copypasta/lineNumber", 3)
        copypastaService.add("Long", lines.join("\n"))
        var card = testCase.cards(testCase.openDrawerPage("Copypasta"), 1)[0]
        var label = Finders.findItem(card, function (item) {
            return item.text === card.cptext && item.maximumLineCount !== undefined
        })
        compare(label.textFormat, Text.PlainText)
        tryCompare(label, "lineCount", 3)
        mouseClick(Finders.buttonOf(card, "COPY"))
        compare(testHelper.clipboardText(), lines.join("\n"))
    }

    name: "CopypastaPage"

    CopyPasta {
        id: copypastaService
    }

    // The model's current objects, which the service needs to remove them.
    Instantiator {
        id: existing

        model: copypastaModel

        delegate: QtObject {
            property QtObject copypasta: modelData
        }
    }
}
