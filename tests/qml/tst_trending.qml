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

    function veilsOf(model) {
        var veils = []
        for (var i = 0; i < model.count; ++i)
            veils.push(model.get(i).veil)
        return veils
    }

    function loadMore(page) {
        page.positionViewAtEnd()
        waitForRendering(page)
        mouseClick(page.footerItem)
        tryCompare(page.footerItem, "loadingMore", false)
    }

    // The live board's shapes: one card per gallery (its pictures in gallery order, unescaped), .gifv
    // and pinned posts left out, NSFW posts by the setting, and page 2's repeat of "Plain meme" dropped.
    function test_rowsOfLiveShapedListing_data() {
        var gallery = "A gallery of three & more"
        return [
            { tag: "blurred by default", nsfw: "blurred",
              titles: [gallery, "Not safe for work", "Ending spoiled", "Plain meme"], veils: ["", "NSFW", "Spoiler", ""] },
            { tag: "hidden", nsfw: "hidden", titles: [gallery, "Ending spoiled", "Plain meme"], veils: ["", "Spoiler", ""] },
            { tag: "shown", nsfw: "shown",
              titles: [gallery, "Not safe for work", "Ending spoiled", "Plain meme"], veils: ["", "", "", ""] },
        ]
    }

    function test_rowsOfLiveShapedListing(data) {
        testHelper.writeSetting("trending/nsfw", data.nsfw)
        try {
            var page = testCase.openFeedOn("real")
            compare(Finders.titlesOf(page.model), data.titles)
            compare(testCase.veilsOf(page.model), data.veils)
            var origin = testServer.url
            var pictures = [origin + "/img/still.png?width=40&format=png&s=b1",
                            origin + "/img/photo.jpg?width=40&format=pjpg&s=a2",
                            origin + "/img/single.gif?width=40&format=png&s=c3"]
            compare(JSON.parse(page.model.get(0).gallery), pictures)
            compare(page.model.get(0).url, pictures[0])
            compare(page.model.get(data.titles.length - 1).gallery, "")

            testCase.loadMore(page)
            compare(Finders.titlesOf(page.model), data.titles.concat(["Page two meme"]))
            compare(testServer.requestedTargets().filter(function (target) { return /gifv/.test(target) }), [])
        } finally {
            testHelper.writeSetting("trending/nsfw", "blurred")
        }
    }

    // SAVE keeps the picture the card shows: a gallery's current one; a veiled one only once revealed.
    function test_saveWhatIsShown_data() {
        return [
            { tag: "gallery, second picture", title: "A gallery of three & more", forward: 1, blue: true },
            { tag: "NSFW, revealed", title: "Not safe for work", reveal: true, blue: true },
        ]
    }

    function test_saveWhatIsShown(data) {
        var page = testCase.openFeedOn("real")
        var card = testCase.cardTitled(page, data.title)
        page.positionViewAtIndex(Finders.titlesOf(page.model).indexOf(data.title), ListView.Beginning)
        testCase.waitForPicture(card)
        var filesBefore = testHelper.bunkerFiles()
        if (data.reveal) {
            mouseClick(Finders.buttonOf(card, "SAVE"))
            page.saveShownPicture(card)
            // Grabs complete in order: once this one is done, one started above would be too.
            var grabbed = false
            card.grabToImage(function () { grabbed = true })
            tryVerify(function () { return grabbed }, 5000, "grab done")
            compare(testHelper.bunkerFiles(), filesBefore, "nothing saved while blurred")
            mouseClick(card.memeImg.parent)
            compare(card.veiled, false)
        }
        if (data.forward) {
            // Right acts on the card at the top, where the card has just been put.
            testCase.activate()
            for (var i = 0; i < data.forward; ++i)
                testHelper.keySequence(testCase.window, "Right")
            compare(card.pictureIndex, data.forward)
        }
        testCase.waitForPicture(card)
        waitForRendering(card)
        mouseClick(Finders.buttonOf(card, "SAVE"))
        tryVerify(function () { return testHelper.bunkerFiles().length === filesBefore.length + 2 }, 5000, "saved")
        var jpeg = testHelper.bunkerFiles().filter(function (file) {
            return filesBefore.indexOf(file) < 0 && /\.jpeg$/.test(file)
        })[0]
        var colour = testHelper.centreColorOf(testHelper.bunkerPath() + jpeg)
        verify(data.blue ? colour.b > 0.8 && colour.r < 0.2 : colour.r > 0.8 && colour.b < 0.2, String(colour))
    }

    // Start with the server up, stop it, start again: the page last read, its pictures from the
    // cache and a banner; the no-internet card only when nothing was read before.
    function test_offlineStart_data() {
        return [
            { tag: "page read before", sort: "kept", titles: ["Kept meme"], banner: true },
            { tag: "nothing read before", sort: "neverread", titles: ["No Internet connection, sry m8"], banner: false },
        ]
    }

    function test_offlineStart(data) {
        var page = testCase.openFeedOn(data.sort)
        testCase.waitForPicture(testCase.cards(page, 1)[0])
        testCase.window.destroy()
        tryCompare(testCase, "window", null)
        verify(testServer.setReachable(false))
        try {
            page = testCase.openFeed()
            compare(Finders.titlesOf(page.model), data.titles)
            var card = testCase.cards(page, 1)[0]
            testCase.waitForPicture(card)
            var banner = page.headerItem
            compare(banner.visible, data.banner)
            var text = Finders.findItem(banner, function (item) { return /^Offline — showing the feed from \S/.test(item.text) })
            compare(text !== null, data.banner)
            compare(page.footerItem.visible, data.banner)
        } finally {
            verify(testServer.setReachable(true))
        }
    }

    name: "TrendingPage"
}
