import QtQuick 2.12
import QtQuick.Controls 2.12
import QtQuick.Controls.Material 2.12
import QtTest 1.12

// The card decodes a picture wider than itself at its own width, never at full size, and leaves a
// narrower picture at its own size. Stand-ins for the main window's names live in this document.
Item {
    id: stage

    width: 600
    height: 900

    QtObject {
        id: globalSettings

        property bool decreaseBrightness: false
        property int themeMode: Material.System
    }

    FontLoader {
        id: montserrat

        source: "qrc:/fonts/Montserrat-Regular.ttf"
    }

    Rectangle {
        id: largeSource

        width: 160
        height: 120
        gradient: Gradient {
            GradientStop { position: 0; color: "#e04030" }
            GradientStop { position: 1; color: "#2060d0" }
        }
    }

    TestCase {
        id: testCase

        property string largePicture: ""

        when: windowShown

        function createCard(properties) {
            var component = Qt.createComponent("qrc:/Meme.qml")
            compare(component.status, Component.Ready, component.errorString())
            var card = createTemporaryObject(component, stage, properties)
            verify(card !== null)
            return card
        }

        function initTestCase() {
            // A 1600x1200 picture on disk, in the data folder's parent, which the test's home provides.
            var folder = testHelper.dataLocation()
            var path = folder.substring(0, folder.lastIndexOf("/")) + "/large.png"
            var saved = false
            largeSource.grabToImage(function (result) {
                saved = result.saveToFile(path)
            }, Qt.size(1600, 1200))
            tryVerify(function () { return saved }, 5000, "the large picture was written")
            testCase.largePicture = "file://" + path
        }

        function test_decodedNoLargerThanShown_data() {
            return [
                { tag: "largerThanCard", picture: "large", shownWidth: 600, shownHeight: 450 },
                { tag: "smallerThanCard", picture: "small", shownWidth: 40, shownHeight: 30 }
            ]
        }

        function test_decodedNoLargerThanShown(data) {
            var url = data.picture === "large" ? testCase.largePicture : testServer.url + "/img/still.png"
            var card = createCard({ title: "Size", url: url, width: 600 })
            tryVerify(function () { return card.memeImg !== null && card.memeImg.status === Image.Ready }, 5000)
            var picture = card.memeImg
            var cardWidth = picture.parent.parent.width
            var expectedWidth = Math.min(cardWidth, data.shownWidth)
            fuzzyCompare(picture.width, expectedWidth, 1)
            fuzzyCompare(picture.height, expectedWidth * data.shownHeight / data.shownWidth, 1)
            // The decoded picture: at most the card's width in device pixels, never enlarged.
            verify(picture.implicitWidth <= Math.ceil(cardWidth * card.pixelRatio()), picture.implicitWidth)
            if (data.picture === "small")
                compare(picture.implicitWidth, 40)
            else
                verify(picture.implicitWidth >= cardWidth, picture.implicitWidth)
        }
    }
}
