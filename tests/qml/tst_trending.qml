import QtQuick 2.12
import QtTest 1.12
import "finders.js" as Finders

// The Trending page inside the real main window, fed by the loopback server's canned listings.
WindowTestCase {
    id: testCase

    // The feed page, read from the listing of the given sort, once its first reply has been handled.
    function openFeedOn(sort) {
        testHelper.writeSetting("trending/sort", sort)
        testCase.openWindowWithFeed()
        return testCase.page()
    }

    // A failed first request shows the no-internet card and no LOAD MORE.
    function test_firstPage_data() {
        return [
            { tag: "listing", sort: "hot", titles: ["First meme", "Second meme"], footer: true },
            { tag: "failed", sort: "status500", titles: ["No Internet connection, sry m8"], footer: false },
        ]
    }

    function test_firstPage(data) {
        var page = testCase.openFeedOn(data.sort)
        compare(Finders.titlesOf(page.model), data.titles)
        tryCompare(page.footerItem, "visible", data.footer)
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

    // A picture address off the web (file:, qrc:, data:, ftp:) makes a post without a picture. The
    // listing's web addresses all redirect, and their posts are titled so.
    function test_onlyWebPictures() {
        var page = testCase.openFeedOn("sources")
        var titles = Finders.titlesOf(page.model)
        verify(titles.length > 4, titles.join(", "))
        for (var i = 0; i < titles.length; ++i)
            compare(page.model.get(i).url !== "", titles[i].indexOf("redirect to ") === 0, titles[i])
    }

    // The live board's shapes: one card per gallery, .gifv and pinned posts left out, NSFW posts by
    // the setting, and page 2's repeat of "Plain meme" dropped.
    function test_rowsOfLiveShapedListing_data() {
        var gallery = "A gallery of three & more"
        return [
            { tag: "NSFW blurred", nsfw: "blurred", titles: [gallery, "Not safe for work", "Ending spoiled", "Plain meme"] },
            { tag: "NSFW hidden", nsfw: "hidden", titles: [gallery, "Ending spoiled", "Plain meme"] },
        ]
    }

    function test_rowsOfLiveShapedListing(data) {
        testHelper.writeSetting("trending/nsfw", data.nsfw)
        var page = testCase.openFeedOn("real")
        compare(Finders.titlesOf(page.model), data.titles)
        page.positionViewAtEnd()
        waitForRendering(page)
        mouseClick(page.footerItem)
        tryCompare(page.footerItem, "loadingMore", false)
        compare(Finders.titlesOf(page.model), data.titles.concat(["Page two meme"]))
    }

    // SAVE keeps the picture the card shows: a blurred one only once revealed.
    function test_blurredPictureSavedOnlyOnceRevealed() {
        var page = testCase.openFeedOn("real")
        var card = testCase.cardTitled(page, "Not safe for work")
        page.positionViewAtIndex(Finders.titlesOf(page.model).indexOf(card.title), ListView.Beginning)
        testCase.waitForPicture(card)
        mouseClick(Finders.buttonOf(card, "SAVE"))
        page.saveShownPicture(card)
        // Grabs complete in order: once this one is done, one started above would be too.
        var grabbed = false
        card.grabToImage(function () { grabbed = true })
        tryVerify(function () { return grabbed }, 5000, "grab done")
        compare(testHelper.bunkerFiles(), [], "nothing saved while blurred")

        mouseClick(card.memeImg.parent)
        compare(card.veiled, false)
        waitForRendering(card)
        mouseClick(Finders.buttonOf(card, "SAVE"))
        tryVerify(function () { return testHelper.bunkerFiles().length === 2 }, 5000, "saved once revealed")
    }

    // Started again with the server gone: the page last read, its picture from the cache, and a
    // banner saying when it was read.
    function test_offlineStartShowsBanner() {
        var page = testCase.openFeedOn("kept")
        testCase.waitForPicture(testCase.cards(page, 1)[0])
        testCase.window.destroy()
        tryCompare(testCase, "window", null)
        verify(testServer.setReachable(false))
        try {
            page = testCase.openFeedOn("kept")
            compare(Finders.titlesOf(page.model), ["Kept meme"])
            testCase.waitForPicture(testCase.cards(page, 1)[0])
            compare(page.headerItem.visible, true)
            verify(Finders.findItem(page.headerItem, function (item) {
                return /^Offline — showing the feed from \S/.test(item.text)
            }) !== null)
        } finally {
            verify(testServer.setReachable(true))
        }
    }

    name: "TrendingPage"
}
