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

    // Only image posts that are not pinned become cards; a failed first request shows the
    // no-internet card and no LOAD MORE.
    function test_firstPage_data() {
        return [
            { tag: "listing", sort: "hot", titles: ["First meme", "Second meme"], footer: true },
            { tag: "failed", sort: "status500", titles: ["No Internet connection, sry m8"], footer: false },
            { tag: "posts without usable data", sort: "oddposts", titles: ["", "Survivor"], footer: true },
        ]
    }

    function test_firstPage(data) {
        var page = testCase.openFeedOn(data.sort)
        compare(Finders.titlesOf(page.model), data.titles)
        tryCompare(page.footerItem, "visible", data.footer)
        compare(testCase.scriptWarnings("Trending.qml"), [])
    }

    // LOAD MORE sends the stored cursor; whatever the reply, rows already shown stay and no error is thrown.
    function test_loadMore_data() {
        return [
            { tag: "next page", sort: "hot", added: ["Second page meme"], footer: true },
            { tag: "failed", sort: "status500", added: ["No Internet connection, sry m8"], footer: false },
            { tag: "not JSON", sort: "notjson", added: [], footer: true },
            { tag: "JSON array", sort: "jsonarray", added: [], footer: true },
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
        mouseClick(Finders.buttonOf(testCase.cards(page, 2)[0], "NORMIEEEE"))
        compare(Finders.titlesOf(page.model), ["Second meme"])
    }

    // SAVE stores the picture as shown, as JPEG (named by its detected format), under the decoded title, and raises the counter.
    function test_saveStoresShownPicture() {
        var page = testCase.openFeedOn("markup")
        var card = testCase.cardTitled(page, "Me & the boys")
        testCase.waitForPicture(card)
        var before = Number(testCase.memeCounterText())
        mouseClick(Finders.buttonOf(card, "SAVE"))
        tryVerify(function () { return Number(testCase.memeCounterText()) === before + 1 }, 5000, "drawer counter raised")
        var saved = JSON.parse(testCase.part("bunker").load())[0]
        compare(saved.title, "Me & the boys")
        verify(/\.jpeg$/.test(saved.source), saved.source)
    }

    // Only the listing's three entities are decoded, once; markup shows as typed and loads nothing.
    function test_titlesDecodedAndShownAsPlainText() {
        var page = testCase.openFeedOn("markup")
        var markup = "<b>Bold</b> <i>claim</i> <img src=\"" + testServer.url + "/img/tracker.png\">"
        compare(Finders.titlesOf(page.model), [markup, "Me & the boys", "&lt; stays &lt; &quot;quoted&quot; &#39;"])
        var card = testCase.cardTitled(page, markup)
        compare(Finders.titleLabelOf(card).textFormat, Text.PlainText)
        testCase.waitForPicture(card)
        waitForRendering(card)
        compare(testServer.requestedTargets().indexOf("/img/tracker.png"), -1, "markup in a title loads nothing")
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
