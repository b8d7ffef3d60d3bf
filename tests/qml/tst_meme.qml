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
                { tag: "small picture at its own size", url: "/img/still.png", cardWidth: 300, sourceWidth: 40 },
                { tag: "large picture fitted to the card", url: "qrc:/img/nointernet.jpg", cardWidth: 344, sourceWidth: 640 },
            ]
        }

        function test_pictureSize(data) {
            var url = data.url.indexOf("qrc:") === 0 ? data.url : testServer.url + data.url
            var card = testCase.createCard({ title: "Sizes", url: url, width: data.cardWidth })
            testCase.waitForStatus(card, Image.Ready)
            compare(card.memeImg.width, Math.min(card.availableWidth, data.sourceWidth))
            verify(card.memeImg.implicitWidth <= Math.ceil(card.availableWidth * card.pixelRatio()),
                   "decoded " + card.memeImg.implicitWidth + " wide")
        }

        // A picture that fails, or that the guard refuses for its pixel count, is said so.
        function test_failedPicture_data() {
            return [
                { tag: "error", url: "/img/status404" },
                { tag: "too many pixels", url: "/img/hostile/png20000x20000" },
            ]
        }

        function test_failedPicture(data) {
            var card = testCase.createCard({ title: "Failing", url: testServer.url + data.url, width: 400 })
            testCase.waitForStatus(card, Image.Error)
            var failedNote = Finders.findItem(testCase.pictureArea(card), Finders.withText("This picture could not be shown"))
            verify(failedNote !== null)
        }

        function test_animatedChoosesAnimatedImage() {
            var card = testCase.createCard({ title: "Moving", url: testServer.url + "/img/animated.gif", animated: true, width: 400 })
            testCase.waitForStatus(card, Image.Ready)
            tryCompare(card.memeImg, "frameCount", 3)
            compare(card.memeImg.playing, true)
        }

        // Dimmed only in dark mode with the switch on.
        function test_dimming_data() {
            return [
                { tag: "light mode stored", mode: Material.Light, brightness: 0 },
                { tag: "dark mode", mode: Material.Dark, brightness: -0.5 },
            ]
        }

        function test_dimming(data) {
            var card = testCase.createCard({ title: "Dim", url: testServer.url + "/img/still.png", width: 300 })
            globalSettings.decreaseBrightness = true
            globalSettings.themeMode = data.mode
            compare(Finders.brightnessEffectOf(card).brightness, data.brightness)
        }

        // From the first picture: on twice, once more past the end (nothing happens), back once; by
        // the arrow keys or by swiping sideways.
        function test_galleryPaging_data() {
            return [{ tag: "arrow keys", swipe: false }, { tag: "swipe", swipe: true }]
        }

        function test_galleryPaging(data) {
            var pictures = ["/img/still.png", "/img/photo.jpg", "/img/single.gif"].map(function (path) {
                return testServer.url + path
            })
            var card = testCase.createCard({ title: "Gallery", url: pictures[0], gallery: pictures, width: 400 })
            var steps = [ { forward: true, shown: 1 }, { forward: true, shown: 2 }, { forward: true, shown: 2 },
                          { forward: false, shown: 1 } ]
            for (var i = 0; i < steps.length; ++i) {
                // The area is 200 high while a picture loads: aim only once it has its final size.
                testCase.waitForStatus(card, Image.Ready)
                var area = testCase.pictureArea(card)
                if (data.swipe) {
                    mouseDrag(area, area.width / 2, area.height / 2, steps[i].forward ? -120 : 120, 0)
                } else {
                    mouseClick(area)
                    keyClick(steps[i].forward ? Qt.Key_Right : Qt.Key_Left)
                }
                tryCompare(card, "pictureIndex", steps[i].shown)
                compare(String(card.memeImg.source), pictures[steps[i].shown])
            }
        }

        // Blurred with its label until one click; meanwhile nothing sharp is drawn and SAVE is off.
        function test_veil() {
            var card = testCase.createCard({ title: "Veiled", url: testServer.url + "/img/still.png", veil: "Spoiler",
                                             width: 400 })
            testCase.waitForStatus(card, Image.Ready)
            verify(Finders.findItem(card, Finders.withText("Spoiler — click to show")) !== null)
            compare(Finders.brightnessEffectOf(card).visible, false)
            compare(Finders.buttonOf(card, "SAVE").enabled, false)
            mouseClick(testCase.pictureArea(card))
            compare(card.veiled, false)
            compare(Finders.brightnessEffectOf(card).visible, true)
            compare(Finders.buttonOf(card, "SAVE").enabled, true)
        }

        name: "MemeCard"
        when: windowShown
    }
}
