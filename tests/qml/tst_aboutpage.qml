import QtQuick 2.12
import QtTest 1.12
import "finders.js" as Finders

// The about page as the main window shows it from its "About" menu item.
WindowTestCase {
    id: testCase

    // The version line follows the window's version, centred and on one line however long.
    function test_showsWindowVersion() {
        testCase.openWindow()
        testCase.chooseFromMenu("About")
        var label = testCase.openPopupHolding(function (item) {
            return typeof item.text === "string" && item.text.indexOf("Jest crate version ") === 0
        })
        compare(label.text, "Jest crate version 1.0.1")
        compare(label.horizontalAlignment, Text.AlignHCenter)
        testCase.window.version = "2.3.4"
        compare(label.text, "Jest crate version 2.3.4")
        testCase.window.version = "1.0.1 built from a rather long and descriptive source revision name"
        tryVerify(function () { return label.contentWidth > label.width }, 5000, "text wider than the label")
        compare(label.lineCount, 1)
    }

    name: "AboutPage"
}
