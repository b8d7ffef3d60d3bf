import QtQuick 2.12
import QtQuick.Controls.Material 2.12
import QtTest 1.12
import "finders.js" as Finders

// The Trending page inside the real main window, fed by the loopback server's canned listings.
WindowTestCase {
    id: testCase

    // The feed page once its first reply has been handled.
    function openFeed() {
        testCase.openWindowWithFeed()
        return testCase.feedPage()
    }

    function openFeedOn(sort) {
        testHelper.writeSetting("trending/sort", sort)
        return testCase.openFeed()
    }

    // Red share of the picture's centre as the card is drawn, dimming included.
    function shownRed(card) {
        var picture = card.memeImg
        var centre = picture.mapToItem(card, picture.width / 2, picture.height / 2)
        var red = -1
        card.grabToImage(function (result) {
            red = testHelper.pixelColor(result.image, Math.round(centre.x), Math.round(centre.y)).r
        })
        tryVerify(function () { return red >= 0 }, 2000, "card grabbed")
        return red
    }

    function test_onlyNonStickiedImagePostsBecomeCards() {
        var page = testCase.openFeed()
        compare(Finders.titlesOf(page.model), ["First meme", "Second meme"])
        compare(page.model.get(0).url, testServer.url + "/img/still.png")
        compare(page.model.get(1).url, testServer.url + "/img/photo.jpg")
        tryCompare(page.footerItem, "visible", true)
        compare(page.footerItem.width, page.width)
        var cards = testCase.cards(page, 2)
        compare(cards[0].title, "First meme")
        compare(cards[0].width, page.width)
        compare(cards[0].animated, false)
        compare(cards[0].insideBunker, false)
        verify(Finders.buttonOf(cards[0], "NORMIEEEE") !== null)
        verify(Finders.buttonOf(cards[0], "SAVE") !== null)
    }

    function test_firstRequestSentWithEmptyCursorAndStoredLimit() {
        testCase.openFeed()
        compare(testServer.requestedTargets().filter(function (target) { return target.indexOf("/r/dankmemes/") === 0 }),
                ["/r/dankmemes/hot.json?after=&limit=25"])
    }

    function test_failedFirstRequestShowsPlaceholderWithoutFooter() {
        var page = testCase.openFeedOn("status500")
        compare(page.model.count, 1)
        compare(page.model.get(0).title, "No Internet connection, sry m8")
        compare(page.model.get(0).url, "qrc:/img/nointernet.jpg")
        compare(page.footerItem.visible, false)
        var cards = testCase.cards(page, 1)
        testCase.waitForPicture(cards[0])
        compare(cards[0].memeImg.source, "qrc:/img/nointernet.jpg")
    }

    function test_footerHiddenWhileFirstPageLoads() {
        testHelper.writeSetting("trending/sort", "stall")
        testCase.openWindow()
        var page = testCase.feedPage()
        var spinner = Finders.findItem(page, function (item) { return item.internet !== undefined })
        verify(spinner !== null, "central spinner")
        tryVerify(function () { return page.footerItem !== null })
        compare(spinner.running, true)
        compare(page.footerItem.visible, false)
        compare(page.count, 0)
    }

    function test_failedLoadMoreAppendsPlaceholderAndHidesFooter() {
        var page = testCase.openFeed()
        testHelper.writeSetting("trending/sort", "status500")
        page.positionViewAtEnd()
        waitForRendering(page)
        mouseClick(page.footerItem)
        tryCompare(page.model, "count", 3)
        compare(Finders.titlesOf(page.model), ["First meme", "Second meme", "No Internet connection, sry m8"])
        compare(page.model.get(2).url, "qrc:/img/nointernet.jpg")
        compare(page.footerItem.visible, false)
    }

    function test_loadMoreAppendsNextPageWithStoredCursor() {
        var page = testCase.openFeed()
        var footer = page.footerItem
        page.positionViewAtEnd()
        waitForRendering(page)
        mouseClick(footer)
        compare(footer.loadingMore, true, "the footer shows its spinner while the page loads")
        tryCompare(page.model, "count", 3)
        compare(Finders.titlesOf(page.model), ["First meme", "Second meme", "Second page meme"])
        compare(footer.loadingMore, false)
        compare(footer.visible, true)
        verify(testServer.requestedTargets().indexOf("/r/dankmemes/hot.json?after=t3_page2&limit=25") >= 0,
               testServer.requestedTargets().join(" "))
    }

    function test_normieRemovesExactlyThatRow() {
        var page = testCase.openFeed()
        var first = testCase.cards(page, 2)[0]
        compare(first.title, "First meme")
        mouseClick(Finders.buttonOf(first, "NORMIEEEE"))
        compare(Finders.titlesOf(page.model), ["Second meme"])
        tryVerify(function () { return Finders.cardsOf(page).length === 1 }, 2000, "removed card faded out")
        compare(Finders.cardsOf(page)[0].title, "Second meme")
    }

    function test_saveStoresShownPictureAsJpegAndRaisesCounter() {
        var page = testCase.openFeed()
        var card = testCase.cardTitled(page, "Second meme")
        testCase.waitForPicture(card)
        var before = Number(testCase.memeCounterText())
        var filesBefore = testHelper.bunkerFiles()
        var keysBefore = testCase.bunkerKeys()

        mouseClick(Finders.buttonOf(card, "SAVE"))
        tryVerify(function () { return Number(testCase.memeCounterText()) === before + 1 }, 5000, "drawer counter raised")

        var added = testHelper.bunkerFiles().filter(function (file) { return filesBefore.indexOf(file) < 0 })
        added.sort()
        compare(added.length, 2, added.join(" "))
        verify(/\.dat$/.test(added[0]), added[0])
        verify(/\.jpeg$/.test(added[1]), added[1])
        compare(testHelper.imageFormat(testHelper.bunkerPath() + added[1]), "jpeg")
        var saved = testCase.memeAddedSince(keysBefore)
        compare(saved.title, "Second meme")
        compare(saved.source, testHelper.bunkerPath() + added[1])
        compare(saved.animated, false)
        compare(testCase.cards(page, 2).length, 2, "the saved card stays in the list")
    }

    function test_repliesThatAreNoListingAddNothing_data() {
        return [
            { tag: "not JSON", sort: "notjson" },
            { tag: "no children", sort: "empty" },
            { tag: "JSON array", sort: "jsonarray" },
            { tag: "children not an array", sort: "childrenobject" },
            { tag: "no image posts", sort: "cursor" },
        ]
    }

    function test_repliesThatAreNoListingAddNothing(data) {
        var page = testCase.openFeed()
        testHelper.writeSetting("trending/sort", data.sort)
        page.positionViewAtEnd()
        waitForRendering(page)
        mouseClick(page.footerItem)
        tryCompare(page.footerItem, "loadingMore", false)
        compare(Finders.titlesOf(page.model), ["First meme", "Second meme"], "rows already shown stay")
        compare(page.footerItem.visible, true)
        compare(testCase.scriptWarnings("Trending.qml"), [])
    }

    function test_postsWithoutUsableDataAreSkipped() {
        var page = testCase.openFeedOn("oddposts")
        tryCompare(page.footerItem, "visible", true)
        compare(Finders.titlesOf(page.model), ["", "Survivor"])
        compare(page.model.get(0).url, "")
        compare(testCase.scriptWarnings("Trending.qml"), [])
    }

    function test_titlesAreDecodedAndShownAsPlainText_data() {
        return [
            { tag: "markup", row: 0, shown: "<b>Bold</b> <i>claim</i> <img src=\"" + testServer.url + "/img/tracker.png\">" },
            { tag: "ampersand", row: 1, shown: "Me & the boys" },
            { tag: "only three entities, once", row: 2, shown: "&lt; stays &lt; &quot;quoted&quot; &#39;" },
        ]
    }

    function test_titlesAreDecodedAndShownAsPlainText(data) {
        var page = testCase.openFeedOn("markup")
        compare(page.model.count, 3)
        compare(page.model.get(data.row).title, data.shown)
        page.positionViewAtIndex(data.row, ListView.Beginning)
        var card = testCase.cardTitled(page, data.shown)
        var label = Finders.titleLabelOf(card)
        verify(label !== null, "title label of card " + data.row)
        compare(label.text, data.shown)
        compare(label.textFormat, Text.PlainText)
        testCase.waitForPicture(card)
        waitForRendering(card)
        compare(testServer.requestedTargets().indexOf("/img/tracker.png"), -1, "markup in a title loads nothing")
    }

    function test_savedTitleIsDecoded() {
        var page = testCase.openFeedOn("markup")
        var card = testCase.cardTitled(page, "Me & the boys")
        testCase.waitForPicture(card)
        var bunker = testCase.part("bunker")
        var keysBefore = testCase.bunkerKeys()
        var before = Number(bunker.memeCount)
        mouseClick(Finders.buttonOf(card, "SAVE"))
        tryVerify(function () { return Number(bunker.memeCount) === before + 1 }, 5000, "meme saved")
        compare(testCase.memeAddedSince(keysBefore).title, "Me & the boys")
    }

    function test_dimming_data() {
        return [
            { tag: "off, system theme", decrease: false, mode: Material.System, brightness: 0 },
            { tag: "on, system theme", decrease: true, mode: Material.System, brightness: 0 },
            { tag: "off, dark", decrease: false, mode: Material.Dark, brightness: 0 },
            { tag: "on, dark", decrease: true, mode: Material.Dark, brightness: -0.5 },
        ]
    }

    function test_dimming(data) {
        var page = testCase.openFeed()
        // As the Settings page stores them.
        testCase.part("globalSettings").decreaseBrightness = data.decrease
        testCase.part("globalSettings").themeMode = data.mode
        var cards = testCase.cards(page, 2)
        for (var i = 0; i < cards.length; ++i)
            compare(Finders.brightnessEffectOf(cards[i]).brightness, data.brightness, cards[i].title)
        testCase.waitForPicture(cards[0])
        waitForRendering(cards[0])
        var red = testCase.shownRed(cards[0])
        if (data.brightness < 0)
            verify(red < 0.65, "dimmed red " + red)
        else
            verify(red > 0.9, "full red " + red)
    }

    function test_dimmingEndsOnAllCardsAtOnce_data() {
        return [
            { tag: "brightness switch off", decrease: false, mode: Material.Dark },
            { tag: "dark mode off", decrease: true, mode: Material.System },
        ]
    }

    function test_dimmingEndsOnAllCardsAtOnce(data) {
        var page = testCase.openFeed()
        var settings = testCase.part("globalSettings")
        settings.decreaseBrightness = true
        settings.themeMode = Material.Dark
        var cards = testCase.cards(page, 2)
        compare(Finders.brightnessEffectOf(cards[1]).brightness, -0.5)
        settings.decreaseBrightness = data.decrease
        settings.themeMode = data.mode
        for (var i = 0; i < cards.length; ++i)
            compare(Finders.brightnessEffectOf(cards[i]).brightness, 0, cards[i].title)
    }

    name: "TrendingPage"
}
