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
        // The first request: an empty cursor and the stored limit.
        compare(testCase.listingRequests(), ["/r/dankmemes/hot.json?after=&limit=25"])
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

    // LOAD MORE sends the stored cursor; whatever the reply, rows already shown stay and no error is thrown.
    function test_loadMore_data() {
        return [
            { tag: "next page", sort: "hot", added: ["Second page meme"], footer: true },
            { tag: "failed", sort: "status500", added: ["No Internet connection, sry m8"], footer: false },
            { tag: "not JSON", sort: "notjson", added: [], footer: true },
            { tag: "no children", sort: "empty", added: [], footer: true },
            { tag: "JSON array", sort: "jsonarray", added: [], footer: true },
            { tag: "children not an array", sort: "childrenobject", added: [], footer: true },
            { tag: "no image posts", sort: "cursor", added: [], footer: true },
        ]
    }

    function test_loadMore(data) {
        var page = testCase.openFeed()
        var footer = page.footerItem
        testHelper.writeSetting("trending/sort", data.sort)
        page.positionViewAtEnd()
        waitForRendering(page)
        mouseClick(footer)
        compare(footer.loadingMore, true, "the footer shows its spinner while the page loads")
        tryCompare(footer, "loadingMore", false)
        compare(Finders.titlesOf(page.model), ["First meme", "Second meme"].concat(data.added))
        compare(footer.visible, data.footer)
        verify(testServer.requestedTargets().indexOf("/r/dankmemes/" + data.sort + ".json?after=t3_page2&limit=25") >= 0,
               testServer.requestedTargets().join(" "))
        compare(testCase.scriptWarnings("Trending.qml"), [])
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

    // The saved title is the decoded one.
    function test_saveStoresShownPictureAsJpegAndRaisesCounter_data() {
        return [
            { tag: "plain title", sort: "hot", title: "Second meme" },
            { tag: "escaped title", sort: "markup", title: "Me & the boys" },
        ]
    }

    function test_saveStoresShownPictureAsJpegAndRaisesCounter(data) {
        var page = testCase.openFeedOn(data.sort)
        var card = testCase.cardTitled(page, data.title)
        testCase.waitForPicture(card)
        var before = Number(testCase.memeCounterText())
        var filesBefore = testHelper.bunkerFiles()

        mouseClick(Finders.buttonOf(card, "SAVE"))
        tryVerify(function () { return Number(testCase.memeCounterText()) === before + 1 }, 5000, "drawer counter raised")

        var added = testHelper.bunkerFiles().filter(function (file) { return filesBefore.indexOf(file) < 0 })
        added.sort()
        compare(added.length, 2, added.join(" "))
        verify(/\.dat$/.test(added[0]), added[0])
        verify(/\.jpeg$/.test(added[1]), added[1])
        compare(testHelper.imageFormat(testHelper.bunkerPath() + added[1]), "jpeg")
        var saved = JSON.parse(testCase.part("bunker").load()).filter(function (meme) {
            return meme.source === testHelper.bunkerPath() + added[1]
        })
        compare(saved.length, 1, "listed once")
        compare(saved[0].title, data.title)
        compare(saved[0].animated, false)
        compare(Finders.titlesOf(page.model).indexOf(data.title) >= 0, true, "the saved card stays in the list")
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

    // Dimmed only with both settings on; either one switched off ends it on every card at once.
    function test_dimming_data() {
        return [
            { tag: "brightness switch off", decrease: false, mode: Material.Dark },
            { tag: "dark mode off", decrease: true, mode: Material.System },
        ]
    }

    function test_dimming(data) {
        var page = testCase.openFeed()
        var settings = testCase.part("globalSettings")
        var cards = testCase.cards(page, 2)
        testCase.waitForPicture(cards[0])
        var steps = [
            { decrease: true, mode: Material.Dark, brightness: -0.5 },
            { decrease: data.decrease, mode: data.mode, brightness: 0 },
        ]
        for (var s = 0; s < steps.length; ++s) {
            // As the Settings page stores them.
            settings.decreaseBrightness = steps[s].decrease
            settings.themeMode = steps[s].mode
            for (var i = 0; i < cards.length; ++i)
                compare(Finders.brightnessEffectOf(cards[i]).brightness, steps[s].brightness, cards[i].title)
            waitForRendering(cards[0])
            var red = testCase.shownRed(cards[0])
            verify(steps[s].brightness < 0 ? red < 0.65 : red > 0.9, "red " + red)
        }
    }

    // Any other address than a web one makes a post without a picture; a web address redirecting
    // to one fails to load.
    function test_pictureSources_data() {
        var rows = []
        var names = ["file", "qrc", "data", "ftp", "web"]
        for (var i = 0; i < 9; ++i) {
            var redirected = i % 2 === 1 || i === 8
            rows.push({ tag: (redirected ? "redirect to " : "") + names[Math.floor(i / 2)], row: i, redirected: redirected,
                        status: i === 8 ? Image.Ready : redirected ? Image.Error : Image.Null })
        }
        return rows
    }

    function test_pictureSources(data) {
        var page = testCase.openFeedOn("sources")
        compare(page.model.get(data.row).title, data.tag)
        compare(page.model.get(data.row).url.indexOf(testServer.url + "/img/redirect"), data.redirected ? 0 : -1)
        compare(page.model.get(data.row).url !== "", data.redirected)
        page.positionViewAtIndex(data.row, ListView.Beginning)
        var card = testCase.cardTitled(page, data.tag)
        tryVerify(function () { return card.memeImg.status === data.status }, 5000, "status " + card.memeImg.status)
    }

    name: "TrendingPage"
}
