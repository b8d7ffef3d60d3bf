import QtQuick 2.12
import QtQuick.Controls 2.12
import QtQuick.Controls.Material 2.12
import QtTest 1.12
import "finders.js" as Finders

// The meme card on its own. It reads two names of the main window's context; stand-ins with the
// same ids live in this document, whose context the cards are created in.
Item {
    id: stage

    width: 600
    height: 600

    QtObject {
        id: globalSettings

        property bool decreaseBrightness: false
        property int themeMode: Material.System
    }

    FontLoader {
        id: montserrat

        source: "qrc:/fonts/Montserrat-Regular.ttf"
    }

    TestCase {
        id: testCase

        function createCard(properties) {
            var component = Qt.createComponent("qrc:/Meme.qml")
            compare(component.status, Component.Ready, component.errorString())
            // A test case is invisible, so the cards go on the stage beside it.
            var card = createTemporaryObject(component, stage, properties)
            verify(card !== null)
            return card
        }

        function pictureArea(card) {
            // The loader's parent: the area between the title and the buttons.
            return card.memeImg.parent.parent
        }

        function cardSpinner(card) {
            return Finders.findItem(testCase.pictureArea(card), function (item) { return item.running !== undefined })
        }

        function waitForStatus(card, status) {
            tryVerify(function () { return card.memeImg !== null && card.memeImg.status === status }, 5000,
                      "picture status " + status)
        }

        function init() {
            globalSettings.decreaseBrightness = false
            globalSettings.themeMode = Material.System
        }

        function test_pictureWidthNeverEnlarged_data() {
            return [
                { tag: "small picture at its own size", url: "/img/still.png", cardWidth: 300, sourceWidth: 40, sourceHeight: 30 },
                { tag: "large picture fitted to the card", url: "qrc:/img/nointernet.jpg", cardWidth: 344, sourceWidth: 640, sourceHeight: 420 },
                { tag: "picture as wide as the column", url: "/img/still.png", cardWidth: 64, sourceWidth: 40, sourceHeight: 30 },
                { tag: "card narrower than the picture", url: "/img/still.png", cardWidth: 44, sourceWidth: 40, sourceHeight: 30 },
            ]
        }

        function test_pictureWidthNeverEnlarged(data) {
            var url = data.url.indexOf("qrc:") === 0 ? data.url : testServer.url + data.url
            var card = testCase.createCard({ title: "Sizes", url: url, width: data.cardWidth })
            testCase.waitForStatus(card, Image.Ready)
            var column = card.availableWidth
            var shownWidth = Math.min(column, data.sourceWidth)
            compare(card.memeImg.width, shownWidth)
            fuzzyCompare(card.memeImg.height, shownWidth * data.sourceHeight / data.sourceWidth, 1)
            compare(card.memeImg.parent.x, (column - shownWidth) / 2, "centred")
            compare(testCase.pictureArea(card).height, card.memeImg.height)
            // The column lays itself out at the next polish, which may come after the picture is ready.
            tryVerify(function () { return Math.abs(card.contentHeight - (100 + card.memeImg.height + 80)) <= 1 }, 5000,
                      "card height " + card.contentHeight)
        }

        function test_pictureAreaBeforeAndWithoutPicture_data() {
            return [
                { tag: "loading", url: "/img/stall", status: Image.Loading, spinning: true },
                { tag: "error", url: "/img/status404", status: Image.Error, spinning: false },
                { tag: "not a picture", url: "/img/notimage.txt", status: Image.Error, spinning: false },
                { tag: "too many pixels", url: "/img/hostile/png20000x20000", status: Image.Error, spinning: false },
                { tag: "animated on a huge screen", url: "/img/hostile/gifscreen10000x20000", animated: true,
                  status: Image.Error, spinning: false },
            ]
        }

        function test_pictureAreaBeforeAndWithoutPicture(data) {
            var card = testCase.createCard({ title: "Waiting", url: testServer.url + data.url,
                                             animated: data.animated === true, width: 400 })
            testCase.waitForStatus(card, data.status)
            compare(testCase.pictureArea(card).height, 200)
            compare(testCase.cardSpinner(card).running, data.spinning)
            compare(card.contentHeight, 100 + 200 + 80)
            var failedNote = Finders.findItem(testCase.pictureArea(card), function (item) {
                return item.text === "This picture could not be shown"
            })
            verify(failedNote !== null)
            compare(failedNote.visible, data.status === Image.Error)
        }

        function test_animatedChoosesAnimatedImage() {
            var card = testCase.createCard({ title: "Moving", url: testServer.url + "/img/animated.gif", animated: true, width: 400 })
            testCase.waitForStatus(card, Image.Ready)
            tryCompare(card.memeImg, "frameCount", 3)
            compare(card.memeImg.playing, true)
            card.animated = false
            testCase.waitForStatus(card, Image.Ready)
            compare(card.memeImg.playing, undefined, "a still image element")
        }

        function test_titleAreaKeepsItsHeight_data() {
            return [
                { tag: "short", title: "Short" },
                { tag: "wrapping far beyond the area", title: "A title long enough to wrap over many lines of the card ".repeat(6) },
            ]
        }

        function test_titleAreaKeepsItsHeight(data) {
            var card = testCase.createCard({ title: data.title, url: testServer.url + "/img/still.png", width: 400 })
            testCase.waitForStatus(card, Image.Ready)
            var label = Finders.titleLabelOf(card)
            compare(label.text, data.title)
            compare(label.textFormat, Text.PlainText)
            compare(label.wrapMode, Text.Wrap)
            compare(label.parent.height, 100)
            // The column lays itself out at the next polish, which may come after the picture is ready.
            tryCompare(card, "contentHeight", 100 + 30 + 80)
        }

        function test_buttons_data() {
            return [
                { tag: "feed", insideBunker: false, first: "NORMIEEEE", second: "SAVE", icon: "qrc:/icons/crate.png" },
                { tag: "bunker", insideBunker: true, first: "REMOVE", second: "SHARE", icon: "qrc:/icons/share.png" },
            ]
        }

        function test_buttons(data) {
            var card = testCase.createCard({ title: "Buttons", url: testServer.url + "/img/still.png",
                                             insideBunker: data.insideBunker, width: 500 })
            testCase.waitForStatus(card, Image.Ready)
            confirmSpy.target = card
            cancelSpy.target = card
            confirmSpy.clear()
            cancelSpy.clear()
            var first = Finders.buttonOf(card, data.first)
            var second = Finders.buttonOf(card, data.second)
            verify(first !== null && second !== null)
            compare(String(first.icon.source), "qrc:/icons/block.svg")
            compare(String(second.icon.source), data.icon)
            verify(first.x + first.width <= second.x, "first button left of the second")

            mouseClick(first)
            compare(cancelSpy.count, 1)
            compare(confirmSpy.count, 0)
            mouseClick(second)
            compare(confirmSpy.count, 1)
            compare(cancelSpy.count, 1)
        }

        function test_dimmingFollowsBothSettings_data() {
            return [
                { tag: "neither", decrease: false, mode: Material.System, brightness: 0 },
                { tag: "brightness only", decrease: true, mode: Material.System, brightness: 0 },
                { tag: "dark only", decrease: false, mode: Material.Dark, brightness: 0 },
                { tag: "light mode stored", decrease: true, mode: Material.Light, brightness: 0 },
                { tag: "both", decrease: true, mode: Material.Dark, brightness: -0.5 },
            ]
        }

        function test_dimmingFollowsBothSettings(data) {
            var card = testCase.createCard({ title: "Dim", url: testServer.url + "/img/still.png", width: 300 })
            globalSettings.decreaseBrightness = data.decrease
            globalSettings.themeMode = data.mode
            compare(Finders.brightnessEffectOf(card).brightness, data.brightness)
        }

        function galleryCard() {
            var pictures = ["/img/still.png", "/img/photo.jpg", "/img/single.gif"].map(function (path) {
                return testServer.url + path
            })
            var card = testCase.createCard({ title: "Gallery", url: pictures[0], gallery: pictures, width: 400 })
            testCase.waitForStatus(card, Image.Ready)
            return card
        }

        function badgeOf(card) {
            return Finders.findItem(card, function (item) { return /^\d+\/\d+$/.test(item.text) })
        }

        // One step through the gallery as a user takes it: a key, a hover button, or a swipe.
        function page(card, how, forward) {
            // The area is 200 high while a picture loads: aim only once it has its final size.
            testCase.waitForStatus(card, Image.Ready)
            var area = testCase.pictureArea(card)
            if (how === "keys") {
                mouseClick(area)
                keyClick(forward ? Qt.Key_Right : Qt.Key_Left)
            } else if (how === "buttons") {
                mouseMove(area, 5, area.height / 2)
                var button = Finders.findItem(area, Finders.withText(forward ? "›" : "‹"))
                // At either end the button in that direction is not offered at all.
                if (button !== null)
                    mouseClick(button)
            } else {
                mouseDrag(area, area.width / 2, area.height / 2, forward ? -120 : 120, 0)
            }
        }

        // From the first picture: on twice, once more past the end, back once.
        function test_galleryPaging_data() {
            return [
                { tag: "arrow keys", how: "keys" },
                { tag: "buttons on hover", how: "buttons" },
                { tag: "swipe", how: "swipe" },
            ]
        }

        function test_galleryPaging(data) {
            var card = testCase.galleryCard()
            compare(testCase.badgeOf(card).text, "1/3")
            compare(testCase.badgeOf(card).visible, true)
            var steps = [ { forward: true, shown: 1 }, { forward: true, shown: 2 }, { forward: true, shown: 2 },
                          { forward: false, shown: 1 } ]
            for (var i = 0; i < steps.length; ++i) {
                testCase.page(card, data.how, steps[i].forward)
                tryCompare(card, "pictureIndex", steps[i].shown)
                compare(testCase.badgeOf(card).text, (steps[i].shown + 1) + "/3")
                compare(String(card.memeImg.source), card.gallery[steps[i].shown])
            }
        }

        function test_singlePictureHasNoBadgeNorButtons() {
            var card = testCase.createCard({ title: "One", url: testServer.url + "/img/still.png", width: 400 })
            testCase.waitForStatus(card, Image.Ready)
            mouseMove(testCase.pictureArea(card), 5, 5)
            compare(testCase.badgeOf(card) === null || !testCase.badgeOf(card).visible, true)
            compare(Finders.findItem(card, Finders.withText("›")), null)
            testCase.page(card, "swipe", true)
            compare(card.pictureIndex, 0)
        }

        // Blurred with its label until one click; meanwhile SAVE is off and the sharp picture hidden.
        function test_veil_data() {
            return [
                { tag: "NSFW", veil: "NSFW", label: "NSFW — click to show" },
                { tag: "spoiler", veil: "Spoiler", label: "Spoiler — click to show" },
                { tag: "none", veil: "", label: "" },
            ]
        }

        function test_veil(data) {
            var card = testCase.createCard({ title: "Veiled", url: testServer.url + "/img/still.png", veil: data.veil,
                                             width: 400 })
            testCase.waitForStatus(card, Image.Ready)
            confirmSpy.target = card
            confirmSpy.clear()
            var veiled = data.veil !== ""
            var label = Finders.findItem(card, Finders.withText(data.label))
            compare(label !== null, veiled)
            compare(card.memeImg.visible, !veiled)
            compare(Finders.brightnessEffectOf(card).visible, !veiled)
            mouseClick(Finders.buttonOf(card, "SAVE"))
            compare(confirmSpy.count, veiled ? 0 : 1)

            mouseClick(testCase.pictureArea(card))
            compare(card.veiled, false)
            compare(card.memeImg.visible, true)
            compare(Finders.findItem(card, Finders.withText("NSFW — click to show")), null)
            mouseClick(Finders.buttonOf(card, "SAVE"))
            compare(confirmSpy.count, veiled ? 1 : 2)
        }

        name: "MemeCard"
        when: windowShown

        SignalSpy {
            id: confirmSpy

            signalName: "confirm"
        }

        SignalSpy {
            id: cancelSpy

            signalName: "cancel"
        }
    }
}
