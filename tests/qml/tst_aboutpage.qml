import QtQuick 2.12
import QtQuick.Controls 2.12
import QtTest 1.12

// The about page as the main window shows it from its "About" menu item.
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

    function shownItem(accept) {
        var found = null
        tryVerify(function () {
            found = findItem(appWindow.overlay, accept)
            return found !== null && found.visible
        }, 5000, "the item shown")
        return found
    }

    function versionLabel() {
        return shownItem(function (item) {
            return typeof item.text === "string" && item.text.indexOf("Jest crate version ") === 0
        })
    }

    function openAbout() {
        appWindow = createTemporaryObject(Qt.createComponent("qrc:/main.qml"), null)
        verify(appWindow !== null)
        waitForRendering(appWindow.contentItem)
        mouseClick(findItem(appWindow.header, function (item) {
            return item.icon !== undefined && String(item.icon.source) === "qrc:/icons/more.svg"
        }))
        mouseClick(shownItem(function (item) {
            return item.text === "About" && item.triggered !== undefined
        }))
        return versionLabel()
    }

    function cleanup() {
        if (appWindow === null)
            return
        // Two main windows alive at once would share settings elements; wait for the old one to go.
        appWindow.destroy()
        tryCompare(testCase, "appWindow", null)
    }

    function test_showsWindowVersion() {
        var label = openAbout()
        compare(label.text, "Jest crate version 1.0.1")
        compare(label.horizontalAlignment, Text.AlignHCenter)
        compare(label.font.pointSize, 18)
    }

    function test_followsVersionChange() {
        var label = openAbout()
        appWindow.version = "2.3.4"
        compare(label.text, "Jest crate version 2.3.4")
    }

    // Not wrapped: a text wider than the page runs past its edge on one line.
    function test_longTextStaysOnOneLine() {
        var label = openAbout()
        appWindow.version = "1.0.1 built from a rather long and descriptive source revision name"
        tryVerify(function () {
            return label.contentWidth > label.width
        }, 5000, "text wider than the label")
        compare(label.lineCount, 1)
    }

    name: "AboutPage"
    when: windowShown
}
