import QtQuick 2.12
import QtQuick.Controls 2.12
import QtTest 1.12
import CopyPasta 1.0

// The "Copypasta" page inside the real main window: adding through the popup, removing and copying
// from the cards, the preview line limit, and the store on disk behind the shared model.
TestCase {
    id: testCase

    // Typed, so that it reads null once the window is really gone.
    property QtObject appWindow: null
    readonly property string storePath: testHelper.dataLocation() + "/../settings/settings.ini"
    readonly property string thirtyLines: {
        var lines = []
        for (var i = 1; i <= 30; ++i)
            lines.push("Line " + i + " of a long copypasta")
        return lines.join("\n")
    }

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

    function withPlaceholder(text) {
        return function (item) {
            return item.placeholderText === text
        }
    }

    function withIcon(source) {
        return function (item) {
            return item.icon !== undefined && item.clicked !== undefined && String(item.icon.source) === source
        }
    }

    function page() {
        return findItem(appWindow.contentItem, function (item) {
            return item.depth !== undefined && item.currentItem !== undefined
        }).currentItem
    }

    // An item accepted by accept inside an open popup (or the drawer, once it is fully out); the
    // enter fade is not awaited, it now and then stalls under the test runner.
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

    function openCopypastaPage() {
        appWindow = createTemporaryObject(Qt.createComponent("qrc:/main.qml"), null)
        verify(appWindow !== null)
        // Typed keys go to the focused window.
        appWindow.requestActivate()
        tryCompare(appWindow, "active", true)
        waitForRendering(appWindow.contentItem)
        mouseClick(findItem(appWindow.header, withIcon("qrc:/icons/menu.svg")))
        var entry = openPopupHolding(withText("Copypasta"))
        mouseClick(entry)
        tryCompare(entry, "visible", false)
        tryVerify(function () {
            return page().model === copypastaModel
        })
        return page()
    }

    // Cards in screen order, leaving out any that is still growing in or fading away.
    function cards() {
        var list = page()
        var found = []
        for (var i = 0; i < list.contentItem.children.length; ++i) {
            var child = list.contentItem.children[i]
            if (child.copyClicked !== undefined && child.opacity === 1 && child.scale === 1)
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

    function storedTitles() {
        var titles = []
        var size = Number(testHelper.readIni(storePath, "copypasta/copypastas/size"))
        for (var i = 1; i <= size; ++i)
            titles.push(testHelper.readIni(storePath, "copypasta/copypastas/" + i + "/title"))
        return titles
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

    // Fills the add popup as a user would and presses SAVE; returns the popup's SAVE button.
    function submitCopypasta(title, text) {
        mouseClick(findItem(page(), withIcon("qrc:/icons/add.svg")))
        var textArea = openPopupHolding(withPlaceholder("To be fair, you have to have a very high IQ to understand Rick and Morty"))
        // The text, not the title, has the keyboard when the popup opens.
        tryCompare(textArea, "activeFocus", true)
        var form = textArea.parent.parent.parent.parent
        typeInto(findItem(form, withPlaceholder("Richard and Mortimer")), title)
        typeInto(textArea, text)
        var save = findItem(form, withText("SAVE"))
        mouseClick(save)
        return save
    }

    function addCopypasta(title, text) {
        var before = page().count
        var save = submitCopypasta(title, text)
        tryCompare(save, "visible", false)
        tryCompare(page(), "count", before + 1)
        tryVerify(function () {
            return cards().length > 0 && cards()[0].title === title
        }, 5000, "the new card on top")
    }

    function removeCard(row) {
        var before = page().count
        mouseClick(findItem(cards()[row], withText("REMOVE")))
        tryCompare(page(), "count", before - 1)
        tryVerify(function () {
            return cards().length === before - 1
        }, 5000, "the removed card gone")
    }

    function cardTextLabel(card) {
        return findItem(card, function (item) {
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

    function cleanup() {
        if (appWindow === null)
            return
        // Two main windows alive at once would share settings elements; wait for the old one to go.
        appWindow.destroy()
        tryCompare(testCase, "appWindow", null)
    }

    function test_emptyList() {
        var copypastaPage = openCopypastaPage()
        compare(copypastaPage.count, 0)
        compare(cards().length, 0)
        compare(findItem(appWindow.overlay, withText("Your title is empty !")), null)
    }

    function test_validation_data() {
        return [
            { tag: "text only", title: "", text: "Some text", titleError: true, textError: false },
            { tag: "title only", title: "Some title", text: "", titleError: false, textError: true },
            { tag: "both empty", title: "", text: "", titleError: true, textError: true },
            { tag: "blanks", title: " ", text: " ", titleError: false, textError: false },
        ]
    }

    function test_validation(data) {
        openCopypastaPage()
        var save = submitCopypasta(data.title, data.text)
        var form = save.parent.parent.parent
        if (!data.titleError && !data.textError) {
            tryCompare(save, "visible", false)
            tryCompare(page(), "count", 1)
            compare(storedTitles(), [data.title])
            return
        }
        verify(save.visible)
        compare(findItem(form, withText("Your title is empty !")).visible, data.titleError)
        compare(findItem(form, withText("Your copypasta is empty !")).visible, data.textError)
        compare(page().count, 0)
        compare(storedTitles(), [])
    }

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
        compare(testHelper.readIni(storePath, "copypasta/copypastas/2/cptext"), "third")

        removeCard(0)
        compare(cardTitles(), ["Alpha"])
        compare(storedTitles(), ["Alpha"])
        removeCard(0)
        compare(storedTitles(), [])
        compare(String(testHelper.readIni(storePath, "copypasta/copypastas/size")), "0")
    }

    function test_copyPutsFullTextOnClipboard() {
        copypastaService.add("Long one", thirtyLines)
        openCopypastaPage()
        var card = cards()[0]
        var label = cardTextLabel(card)
        tryCompare(label, "truncated", true)
        mouseClick(findItem(card, withText("COPY")))
        compare(testHelper.clipboardText(), thirtyLines)
    }

    function test_lineLimit_data() {
        return [
            { tag: "default 10", limit: 10, lines: 10, truncated: true },
            { tag: "3", limit: 3, lines: 3, truncated: true },
            { tag: "0 is no limit", limit: 0, lines: 30, truncated: false },
        ]
    }

    function test_lineLimit(data) {
        testHelper.writeSetting("copypasta/lineNumber", data.limit)
        copypastaService.add("Long one", thirtyLines)
        openCopypastaPage()
        var label = cardTextLabel(cards()[0])
        tryCompare(label, "lineCount", data.lines)
        compare(label.truncated, data.truncated)
    }

    // Typed titles and texts are shown as typed, never as markup.
    function test_plainText() {
        var markup = "<b>bold</b> &amp; <img src=\"" + testServer.url + "/img/still.png\">"
        copypastaService.add(markup, markup)
        openCopypastaPage()
        var card = cards()[0]
        compare(card.title, markup)
        var labels = []
        findItem(card, function (item) {
            if (item.text === markup && item.textFormat !== undefined)
                labels.push(item)
            return false
        })
        compare(labels.length, 2)
        for (var i = 0; i < labels.length; ++i)
            compare(labels[i].textFormat, Text.PlainText)
    }

    name: "CopypastaPage"
    when: windowShown

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
