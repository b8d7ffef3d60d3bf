#include "atomlisting.h"
#include "cannedroutes.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

namespace {
// A feed around the given entries, in the Atom namespace.
QByteArray feed(const QByteArray &entries)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><feed xmlns=\"http://www.w3.org/2005/Atom\">" + entries
        + "</feed>";
}

// One entry whose HTML content holds `anchors` (markup, escaped here for XML).
QByteArray entry(const QByteArray &id, const QByteArray &anchors)
{
    return "<entry><id>" + id + "</id><title>Post " + id + "</title><content type=\"html\">"
        + QString::fromUtf8(anchors).toHtmlEscaped().toUtf8() + "</content></entry>";
}

// The posts of a listing as [name, title, url, post_hint] rows, null where a member is absent.
QJsonArray posts(const QJsonObject &listing)
{
    QJsonArray rows;
    for (const QJsonValue &child : listing.value("data").toObject().value("children").toArray()) {
        const QJsonObject data = child.toObject().value("data").toObject();
        rows.append(
            QJsonArray { data.value("name").isUndefined() ? QJsonValue() : data.value("name"), data.value("title"),
                data.value("url"), data.value("post_hint").isUndefined() ? QJsonValue() : data.value("post_hint") });
    }
    return rows;
}

// One expected post: [name, title, url, post_hint], nullptr where a member is absent.
QJsonArray row(const char *name, const char *title, const char *url, const char *hint)
{
    const auto value = [](const char *text) { return text ? QJsonValue(QString::fromUtf8(text)) : QJsonValue(); };
    return QJsonArray { value(name), value(title), value(url), value(hint) };
}
} // namespace

class TestAtomListing : public QObject {
    Q_OBJECT

private:
    // Converts, and checks the shape every listing text has: kind, dist, posts that are not pinned.
    static QJsonObject convert(const QByteArray &atom, int requested)
    {
        const QByteArray text = AtomListing::toListing(atom, requested);
        if (text.isEmpty())
            return QJsonObject();
        QJsonParseError error;
        const QJsonObject listing = QJsonDocument::fromJson(text, &error).object();
        [&] {
            QCOMPARE(error.error, QJsonParseError::NoError);
            QCOMPARE(listing.value("kind").toString(), QStringLiteral("Listing"));
            const QJsonArray children = listing.value("data").toObject().value("children").toArray();
            QCOMPARE(listing.value("data").toObject().value("dist").toInt(-1), children.size());
            for (const QJsonValue &child : children) {
                QCOMPARE(child.toObject().value("kind").toString(), QStringLiteral("t3"));
                QCOMPARE(child.toObject().value("data").toObject().value("stickied"), QJsonValue(false));
            }
        }();
        return listing;
    }

private slots:
    void fixtures_data()
    {
        QTest::addColumn<QString>("fixture");
        QTest::addColumn<int>("requested");
        QTest::addColumn<bool>("converted");
        QTest::addColumn<QJsonValue>("after");
        QTest::addColumn<QJsonArray>("expected");

        const QJsonArray normal = QJsonArray { row("t3_norm01", "Made this in Paint & I regret nothing",
                                                   "https://i.redd.it/a1b2c3d4e5f6.jpeg", "image"),
            row("t3_norm02", "When the code works on the first try", "https://i.imgur.com/Xy7Zq9k", "image"),
            row("t3_norm03", "Local man discovers memes", "https://www.example.com/news/story.html", "link"),
            row("t3_norm04", "Serious question about nothing",
                "https://www.reddit.com/r/dankmemes/comments/norm04/post/", "link"),
            row("t3_norm05", "Shouting picture", "https://preview.example.net/memes/LOUD.PNG?width=640&format=png",
                "image") };
        QTest::newRow("normalShortPage") << "normal" << 25 << true << QJsonValue() << normal;
        QTest::newRow("normalFullPage") << "normal" << 5 << true << QJsonValue("t3_norm05") << normal;
        QTest::newRow("normalMoreThanAsked") << "normal" << 3 << true << QJsonValue("t3_norm05") << normal;
        QTest::newRow("normalNoLimit") << "normal" << 0 << true << QJsonValue("t3_norm05") << normal;
        QTest::newRow("empty") << "empty" << 0 << true << QJsonValue() << QJsonArray();
        QTest::newRow("truncated") << "truncated" << 1 << false << QJsonValue() << QJsonArray();
        QTest::newRow("notXml") << "notxml" << 25 << false << QJsonValue() << QJsonArray();
        QTest::newRow("otherNamespace") << "othernamespace" << 25 << false << QJsonValue() << QJsonArray();
        // The last entry has no id, so even a full page cannot say where the next one starts.
        QTest::newRow("incomplete") << "incomplete" << 6 << true << QJsonValue()
                                    << QJsonArray {
                                           row("t3_inc01", "No content at all",
                                               "https://www.reddit.com/r/dankmemes/comments/inc01/post/", "link"),
                                           row("t3_inc02", "Content without a link anchor", "", nullptr),
                                           row("t3_inc03", "Neither content nor link", "", nullptr),
                                           row("t3_inc04", "Link anchor without a target", "", nullptr),
                                           row("t3_inc05", "", "https://i.redd.it/untitled.png", "image"),
                                           row(nullptr, "No id, still a picture", "https://i.redd.it/noid.gif", "image")
                                       };
        QTest::newRow("htmlTitles")
            << "htmltitles" << 7 << true << QJsonValue("t3_html07")
            << QJsonArray { row("t3_html01", "Bold claim & a link", "https://i.redd.it/html01.jpg", "image"),
                   row("t3_html02", "<script>alert(1)</script> stays text", "https://i.redd.it/html02.jpg", "image"),
                   row("t3_html03", "It's \U0001F602 o'clock, \"really\"", "https://i.redd.it/html03.jpg", "image"),
                   row("t3_html04", "Italic & in CDATA", "https://i.redd.it/html04.jpg", "image"),
                   row("t3_html05", "Inline XHTML title", "https://i.redd.it/html05.jpg", "image"),
                   row("t3_html06", "Tom & Jerry &bogus; & friends \uFFFD \uFFFD", "https://i.redd.it/html06.jpg",
                       "image"),
                   row("t3_html07", "Spread over lines", "https://i.redd.it/html07.jpg", "image") };
    }

    void fixtures()
    {
        QFETCH(QString, fixture);
        QFETCH(int, requested);
        QFETCH(bool, converted);
        QFETCH(QJsonValue, after);
        QFETCH(QJsonArray, expected);

        const QByteArray atom = atomFixture(fixture);
        QVERIFY(!atom.isEmpty());
        const QJsonObject listing = convert(atom, requested);
        QCOMPARE(!listing.isEmpty(), converted);
        if (!converted)
            return;
        QCOMPARE(listing.value("data").toObject().value("after"), after);
        QCOMPARE(posts(listing), expected);
    }

    void documents_data()
    {
        QTest::addColumn<QByteArray>("atom");
        QTest::addColumn<bool>("converted");
        QTest::addColumn<QJsonArray>("expected");

        const QByteArray one = entry("t3_a", "<a href=\"https://i.redd.it/a.png\">[link]</a>");
        QTest::newRow("emptyBody") << QByteArray() << false << QJsonArray();
        QTest::newRow("rss2") << QByteArray("<rss version=\"2.0\"><channel><item><title>x</title>"
                                            "<link>https://i.redd.it/a.png</link></item></channel></rss>")
                              << false << QJsonArray();
        QTest::newRow("noNamespace") << QByteArray("<feed>" + one + "</feed>") << false << QJsonArray();
        QTest::newRow("documentType") << QByteArray("<?xml version=\"1.0\"?><!DOCTYPE feed [<!ENTITY a \"aaaa\">"
                                                    "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;\">]>"
                                                    "<feed xmlns=\"http://www.w3.org/2005/Atom\"><entry>"
                                                    "<title>&b;</title></entry></feed>")
                                      << false << QJsonArray();
        QTest::newRow("undeclaredEntity") << feed("<entry><title>&nbsp;</title></entry>") << false << QJsonArray();
        QTest::newRow("trailingGarbage") << QByteArray(feed(one) + "<feed/>") << false << QJsonArray();
        QTest::newRow("trailingComment") << QByteArray(feed(one) + "<!-- cached -->\n") << true
                                         << QJsonArray { row("t3_a", "Post t3_a", "https://i.redd.it/a.png", "image") };
        QTest::newRow("linkAnchorAmongOthers")
            << feed(entry("t3_b",
                   "<a href=\"https://www.reddit.com/user/x\">/u/x</a> <a href=\"https://x.org/c\">[comments]</a>"
                   "<span><a class=\"l\" href=\"https://x.org/pic.GIF\" >  [link]  </a ></span>"))
            << true << QJsonArray { row("t3_b", "Post t3_b", "https://x.org/pic.GIF", "image") };
        QTest::newRow("upperCaseSingleQuotes")
            << feed(entry("t3_c", "<A TITLE='x' HREF='https://i.redd.it/up.jpg'>[link]</A>")) << true
            << QJsonArray { row("t3_c", "Post t3_c", "https://i.redd.it/up.jpg", "image") };
        QTest::newRow("unquotedHref") << feed(entry("t3_d", "<a rel=nofollow href=https://x.org/a.jpeg>[link]</a>"))
                                      << true
                                      << QJsonArray { row("t3_d", "Post t3_d", "https://x.org/a.jpeg", "image") };
        QTest::newRow("notAnAnchor") << feed(entry("t3_e", "<abbr href=\"https://i.redd.it/e.png\">[link]</abbr>"))
                                     << true << QJsonArray { row("t3_e", "Post t3_e", "", nullptr) };
        QTest::newRow("unclosedTag") << feed(entry("t3_f", "<a href=\"https://i.redd.it/f.png\" [link]")) << true
                                     << QJsonArray { row("t3_f", "Post t3_f", "", nullptr) };
        QTest::newRow("localFileIsNoPicture")
            << feed(entry("t3_g", "<a href=\"file:///home/user/secret.png\">[link]</a>")) << true
            << QJsonArray { row("t3_g", "Post t3_g", "file:///home/user/secret.png", "link") };
        QTest::newRow("xhtmlContent") << feed(
            "<entry><id>t3_h</id><title>X</title><content type=\"xhtml\"><div "
            "xmlns=\"http://www.w3.org/1999/xhtml\"><a href=\"https://x.org/c\">[comments]</a> <a "
            "href=\"https://i.imgur.com/h.gif\">[link]</a></div></content></entry>")
                                      << true << QJsonArray { row("t3_h", "X", "https://i.imgur.com/h.gif", "image") };
        QTest::newRow("alternateLinkOnly") << feed(
            "<entry><id>t3_i</id><title>I</title><link rel=\"self\" href=\"https://x.org/self\"/>"
            "<link rel=\"alternate\" href=\"https://x.org/i.png\"/><link href=\"https://x.org/later\"/></entry>")
                                           << true << QJsonArray { row("t3_i", "I", "https://x.org/i.png", "image") };
        QTest::newRow("foreignElementsIgnored") << feed(
            "<x:entry xmlns:x=\"urn:other\"><x:id>t3_no</x:id></x:entry><entry><id>t3_j</id>"
            "<x:title xmlns:x=\"urn:other\">Wrong</x:title><title>Right</title><nested><entry/></nested>"
            "</entry>") << true << QJsonArray { row("t3_j", "Right", "", nullptr) };
    }

    void documents()
    {
        QFETCH(QByteArray, atom);
        QFETCH(bool, converted);
        QFETCH(QJsonArray, expected);

        const QJsonObject listing = convert(atom, 25);
        QCOMPARE(!listing.isEmpty(), converted);
        if (converted)
            QCOMPARE(posts(listing), expected);
    }

    void tenThousandEntries_data()
    {
        QTest::addColumn<int>("requested");
        QTest::addColumn<QJsonValue>("after");
        QTest::newRow("fullPage") << 10000 << QJsonValue("t3_gen10000");
        QTest::newRow("shortPage") << 10001 << QJsonValue();
    }

    void tenThousandEntries()
    {
        QFETCH(int, requested);
        QFETCH(QJsonValue, after);
        QList<AtomEntry> entries;
        for (int i = 1; i <= 10000; ++i)
            entries.append({ QStringLiteral("t3_gen%1").arg(i), QStringLiteral("Meme <%1> & co").arg(i),
                QStringLiteral("https://i.redd.it/generated%1.png").arg(i) });

        const QJsonObject listing = convert(atomFeed(entries), requested);
        QCOMPARE(listing.value("data").toObject().value("after"), after);
        const QJsonArray rows = posts(listing);
        QCOMPARE(rows.size(), 10000);
        const QJsonArray first = row("t3_gen1", "Meme <1> & co", "https://i.redd.it/generated1.png", "image");
        const QJsonArray last
            = row("t3_gen10000", "Meme <10000> & co", "https://i.redd.it/generated10000.png", "image");
        QCOMPARE(rows.first().toArray(), first);
        QCOMPARE(rows.last().toArray(), last);
    }

    void isPicture_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("picture");
        QTest::newRow("reddItHost") << "https://i.redd.it/abc" << true;
        QTest::newRow("reddItHostUpperCase") << "https://I.REDD.IT/abc" << true;
        QTest::newRow("imgurHostPlainHttp") << "http://i.imgur.com/abc" << true;
        QTest::newRow("imgurPage") << "https://imgur.com/abc" << false;
        QTest::newRow("lookalikeHost") << "https://i.redd.it.example.com/abc" << false;
        QTest::newRow("jpegUpperCase") << "https://x.org/a/B.JPEG" << true;
        QTest::newRow("jpgWithQuery") << "https://x.org/a.jpg?width=640&s=1" << true;
        QTest::newRow("pngWithFragment") << "https://x.org/a.png#top" << true;
        QTest::newRow("gif") << "https://x.org/a.gif" << true;
        QTest::newRow("gifv") << "https://x.org/a.gifv" << false;
        QTest::newRow("extensionInQueryOnly") << "https://x.org/view?file=a.png" << false;
        QTest::newRow("webPage") << "https://x.org/story.html" << false;
        QTest::newRow("ftp") << "ftp://x.org/a.png" << false;
        QTest::newRow("localFile") << "file:///tmp/a.png" << false;
        QTest::newRow("script") << "javascript:alert(1)//a.png" << false;
        QTest::newRow("relative") << "/img/a.png" << false;
        QTest::newRow("empty") << "" << false;
    }

    void isPicture()
    {
        QFETCH(QString, url);
        QFETCH(bool, picture);
        QCOMPARE(AtomListing::isPicture(url), picture);
    }

    void decodeEntities_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("decoded");
        QTest::newRow("named") << "&lt;&gt;&amp;&quot;&apos;&nbsp;" << QString::fromUtf8("<>&\"'\u00a0");
        QTest::newRow("decodedOnce") << "&amp;lt;"
                                     << "&lt;";
        QTest::newRow("decimalAndHex") << "&#65;&#x42;&#X43;"
                                       << "ABC";
        QTest::newRow("astral") << "&#x1F602;" << QString::fromUtf8("\U0001F602");
        QTest::newRow("nulAndSurrogate") << "&#0;&#xDC00;" << QString::fromUtf8("\uFFFD\uFFFD");
        QTest::newRow("beyondUnicode") << "&#1114112;&#x110000;" << QString::fromUtf8("\uFFFD\uFFFD");
        QTest::newRow("overflowKept") << "&#99999999999;"
                                      << "&#99999999999;";
        QTest::newRow("signsAndSpacesKept") << "&#+65;&#-65;&# 65;&#x 41;"
                                            << "&#+65;&#-65;&# 65;&#x 41;";
        QTest::newRow("badDigitsKept") << "&#xZZ;&#;&#x;"
                                       << "&#xZZ;&#;&#x;";
        QTest::newRow("unknownKept") << "&bogus; &AMP;"
                                     << "&bogus; &AMP;";
        QTest::newRow("noSemicolon") << "fish &amp chips & more &"
                                     << "fish &amp chips & more &";
        QTest::newRow("semicolonFarAway") << "&ampxxxxxxxxxxxxxxxxx;"
                                          << "&ampxxxxxxxxxxxxxxxxx;";
    }

    void decodeEntities()
    {
        QFETCH(QString, text);
        QFETCH(QString, decoded);
        QCOMPARE(AtomListing::decodeEntities(text), decoded);
    }

    void plainText_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("text");
        QTest::newRow("tags") << "<p class=\"x\">A <b>bold</b><br/> move</p>"
                              << "A bold move";
        QTest::newRow("escapedTagsStayText") << "&lt;b&gt;not bold&lt;/b&gt;"
                                             << "<b>not bold</b>";
        QTest::newRow("comparisonIsNoTag") << "1 < 2 and 3 <4"
                                           << "1 < 2 and 3 <4";
        QTest::newRow("commentRemoved") << "a<!-- hidden -->b"
                                        << "ab";
        QTest::newRow("unclosedTagKept") << "broken <b"
                                         << "broken <b";
    }

    void plainText()
    {
        QFETCH(QString, html);
        QFETCH(QString, text);
        QCOMPARE(AtomListing::plainText(html), text);
    }

    // Hostile content must not make the search quadratic: these finish at once or time out the test.
    void linkTarget_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("target");
        const int count = 200000;
        QTest::newRow("entityInHref") << "<a href=\"https://x.org/a.png?w=1&amp;h=2\">[link]</a>"
                                      << "https://x.org/a.png?w=1&h=2";
        QTest::newRow("anchorWithoutHref") << "<a name=\"x\">[link]</a>" << QString();
        QTest::newRow("textAfterLink") << "<a href=\"https://x.org/a\">[link] more</a>" << QString();
        QTest::newRow("manyUnclosedAnchors") << QString("<a ").repeated(count) << QString();
        QTest::newRow("manyAnchorsWithoutLink") << QString("<a href=x>[comments]</a>").repeated(count) << QString();
        QTest::newRow("manyLinkTexts") << QString(">[link]</a>").repeated(count)
                + "<a href=\"https://x.org/z\">[link]</a>"
                                       << "https://x.org/z";
        QTest::newRow("longAttributes") << "<a " + QString("x=\"1\" ").repeated(count) + "href=\"y\">[link]</a>"
                                        << "y";
    }

    void linkTarget()
    {
        QFETCH(QString, html);
        QFETCH(QString, target);
        QCOMPARE(AtomListing::linkTarget(html), target);
    }
};

QTEST_GUILESS_MAIN(TestAtomListing)

#include "tst_atomlisting.moc"
