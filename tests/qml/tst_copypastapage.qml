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
    // Markup in the first line, which must show as typed.
    readonly property string thirtyLines: {
        var lines = ["<b>Line 1</b> &amp; <i>markup</i>"]
        for (var i = 2; i <= 30; ++i)
            lines.push("Line " + i + " of a long copypasta")
        return lines.join("\n")
    }

    function page() {
        return testCase.part("stack").currentItem
    }

    function openCopypastaPage() {
        testCase.openWindow()
        testCase.activate()
        testCase.chooseDrawerEntry("Copypasta")
        tryVerify(function () { return page().model === copypastaModel })
        return page()
    }

    // Cards in screen order, leaving out any that is still growing in or fading away.
    function cards() {
        var children = page().contentItem.children
        var found = []
        for (var i = 0; i < children.length; ++i) {
            if (children[i].copyClicked !== undefined && children[i].opacity === 1 && children[i].scale === 1)
                found.push(children[i])
        }
        return found.sort(function (a, b) { return a.y - b.y })
    }

    function cardTitles() {
        return cards().map(function (card) { return card.title })
    }

    function storedTitles() {
        var titles = []
        var size = Number(testHelper.readIni(storePath, "copypasta/copypastas/size"))
        for (var i = 1; i <= size; ++i)
            titles.push(testHelper.readIni(storePath, "copypasta/copypastas/" + i + "/title"))
        return titles
    }

    // Fills the add popup as a user would and presses SAVE; returns the popup's form.
    function submitCopypasta(title, text) {
        mouseClick(Finders.findItem(page(), function (item) {
            return item.icon !== undefined && String(item.icon.source) === "qrc:/icons/add.svg"
        }))
        var textArea = testCase.openPopupHolding(
                    Finders.withPlaceholder("To be fair, you have to have a very high IQ to understand Rick and Morty"))
        // The text, not the title, has the keyboard when the popup opens.
        tryCompare(textArea, "activeFocus", true)
        var form = textArea.parent.parent.parent.parent
        testCase.typeInto(Finders.findItem(form, Finders.withPlaceholder("Richard and Mortimer")), title)
        testCase.typeInto(textArea, text)
        mouseClick(Finders.findItem(form, Finders.withText("SAVE")))
        return form
    }

    function addCopypasta(title, text) {
        var before = page().count
        tryCompare(submitCopypasta(title, text), "visible", false)
        tryCompare(page(), "count", before + 1)
        tryVerify(function () { return cardTitles()[0] === title }, 5000, "the new card on top")
    }

    function removeCard(row) {
        var before = page().count
        mouseClick(Finders.buttonOf(cards()[row], "REMOVE"))
        tryCompare(page(), "count", before - 1)
        tryVerify(function () { return cards().length === before - 1 }, 5000, "the removed card gone")
    }

    function cardTextLabel(card) {
        return Finders.findItem(card, function (item) {
            return item.text === card.cptext && item.maximumLineCount !== undefined
        })
    }

    function init() {
        // The model and the store outlive every window: empty both through the service.
        for (var i = existing.count - 1; i >= 0; --i)
            copypastaService.remove(existing.objectAt(i).copypasta, i)
        compare(existing.count, 0)
        testHelper.writeSetting("copypasta/lineNumber", 10)
    }

    function test_validation_data() {
        return [
            { tag: "both empty", title: "", text: "", titleError: true, textError: true },
            { tag: "blanks", title: " ", text: " ", titleError: false, textError: false },
        ]
    }

    function test_validation(data) {
        compare(openCopypastaPage().count, 0)
        var form = submitCopypasta(data.title, data.text)
        if (!data.titleError && !data.textError) {
            tryCompare(form, "visible", false)
            tryCompare(page(), "count", 1)
            compare(storedTitles(), [data.title])
            return
        }
        verify(form.visible)
        compare(Finders.findItem(form, Finders.withText("Your title is empty !")) !== null, data.titleError)
        compare(Finders.findItem(form, Finders.withText("Your copypasta is empty !")) !== null, data.textError)
        compare(page().count, 0)
        compare(storedTitles(), [])
    }

    // Cards newest first, the store oldest first; a removal takes that one from both.
    function test_addAndRemoveKeepStoreInStep() {
        openCopypastaPage()
        addCopypasta("Alpha", "first")
        addCopypasta("Beta", "second\nwith two lines")
        addCopypasta("Gamma", "third")
        compare(cardTitles(), ["Gamma", "Beta", "Alpha"])
        compare(storedTitles(), ["Alpha", "Beta", "Gamma"])
        compare(testHelper.readIni(storePath, "copypasta/copypastas/2/cptext"), "second\nwith two lines")
        removeCard(1)
        compare(cardTitles(), ["Gamma", "Alpha"])
        compare(storedTitles(), ["Alpha", "Gamma"])
    }

    // The preview is cut at the stored line limit (0: none); COPY still copies the whole text. Title
    // and text are shown as typed, never as markup.
    function test_lineLimitAndCopy_data() {
        return [
            { tag: "3", limit: 3, lines: 3, truncated: true },
            { tag: "0 is no limit", limit: 0, lines: 30, truncated: false },
        ]
    }

    function test_lineLimitAndCopy(data) {
        testHelper.writeSetting("copypasta/lineNumber", data.limit)
        copypastaService.add("<b>Long</b> &amp; one", thirtyLines)
        openCopypastaPage()
        var card = cards()[0]
        compare(card.title, "<b>Long</b> &amp; one")
        compare(Finders.titleLabelOf(card).textFormat, Text.PlainText)
        var label = cardTextLabel(card)
        compare(label.textFormat, Text.PlainText)
        tryCompare(label, "lineCount", data.lines)
        tryCompare(label, "truncated", data.truncated)
        mouseClick(Finders.buttonOf(card, "COPY"))
        compare(testHelper.clipboardText(), thirtyLines)
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
