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

        // Shown no wider than the card or the picture itself, and decoded no larger than shown.
        function test_pictureSize_data() {
            return [
                { tag: "small picture at its own size", url: "/img/still.png", cardWidth: 300, sourceWidth: 40, sourceHeight: 30 },
                { tag: "large picture fitted to the card", url: "qrc:/img/nointernet.jpg", cardWidth: 344, sourceWidth: 640, sourceHeight: 420 },
                { tag: "card narrower than the picture", url: "/img/still.png", cardWidth: 44, sourceWidth: 40, sourceHeight: 30 },
            ]
        }

        function test_pictureSize(data) {
            var url = data.url.indexOf("qrc:") === 0 ? data.url : testServer.url + data.url
            var card = testCase.createCard({ title: "Sizes", url: url, width: data.cardWidth })
            testCase.waitForStatus(card, Image.Ready)
            var shownWidth = Math.min(card.availableWidth, data.sourceWidth)
            compare(card.memeImg.width, shownWidth)
            fuzzyCompare(card.memeImg.height, shownWidth * data.sourceHeight / data.sourceWidth, 1)
            compare(card.memeImg.parent.x, (card.availableWidth - shownWidth) / 2, "centred")
            verify(card.memeImg.implicitWidth <= Math.ceil(card.availableWidth * card.pixelRatio()),
                   "decoded " + card.memeImg.implicitWidth + " wide")
            tryVerify(function () { return Math.abs(card.contentHeight - (100 + card.memeImg.height + 80)) <= 1 }, 5000,
                      "card height " + card.contentHeight)
        }

        function test_pictureAreaWithoutPicture_data() {
            return [
                { tag: "loading", url: "/img/stall", status: Image.Loading, spinning: true },
                { tag: "error", url: "/img/status404", status: Image.Error, spinning: false },
                { tag: "too many pixels", url: "/img/hostile/png20000x20000", status: Image.Error, spinning: false },
            ]
        }

        function test_pictureAreaWithoutPicture(data) {
            var card = testCase.createCard({ title: "Waiting", url: testServer.url + data.url, width: 400 })
            testCase.waitForStatus(card, data.status)
            compare(testCase.pictureArea(card).height, 200)
            compare(testCase.cardSpinner(card).running, data.spinning)
            var failedNote = Finders.findItem(testCase.pictureArea(card), Finders.withText("This picture could not be shown"))
            compare(failedNote !== null, data.status === Image.Error)
        }

        function test_animatedChoosesAnimatedImage() {
            var card = testCase.createCard({ title: "Moving", url: testServer.url + "/img/animated.gif", animated: true, width: 400 })
            testCase.waitForStatus(card, Image.Ready)
            tryCompare(card.memeImg, "frameCount", 3)
            compare(card.memeImg.playing, true)
        }

        function test_buttons_data() {
            return [
                { tag: "feed", insideBunker: false, first: "NORMIEEEE", second: "SAVE" },
                { tag: "bunker", insideBunker: true, first: "REMOVE", second: "SHARE" },
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
            mouseClick(Finders.buttonOf(card, data.first))
            compare([cancelSpy.count, confirmSpy.count], [1, 0])
            mouseClick(Finders.buttonOf(card, data.second))
            compare([cancelSpy.count, confirmSpy.count], [1, 1])
        }

        // Dimmed only in dark mode with the switch on.
        function test_dimming_data() {
            return [
                { tag: "light mode stored", decrease: true, mode: Material.Light, brightness: 0 },
                { tag: "dark only", decrease: false, mode: Material.Dark, brightness: 0 },
                { tag: "both", decrease: true, mode: Material.Dark, brightness: -0.5 },
            ]
        }

        function test_dimming(data) {
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
