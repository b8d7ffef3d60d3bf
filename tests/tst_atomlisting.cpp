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
    for (const QJsonValue child : listing.value("data").toObject().value("children").toArray()) {
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
enum class Function { DecodeEntities, PlainText, LinkTarget };

// A row of the text function table.
void add(const char *name, Function function, const QString &input, const QString &output)
{
    QTest::newRow(name) << function << input << output;
}
} // namespace
Q_DECLARE_METATYPE(Function)

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
        QJsonObject listing = QJsonDocument::fromJson(text, &error).object();
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
    void toListing_data()
    {
        QTest::addColumn<QByteArray>("atom");
        QTest::addColumn<int>("requested");
        QTest::addColumn<QJsonValue>("after"); // undefined: not converted at all
        QTest::addColumn<QJsonArray>("expected");
        const QJsonValue rejected(QJsonValue::Undefined);
        const auto fixture = [](const char *name, const char *file, int requested, const QJsonValue &after,
                                 const QJsonArray &expected) {
            QTest::newRow(name) << atomFixture(file) << requested << after << expected;
        };
        // One entry of a feed, in a page of 25.
        const auto single = [](const char *name, const QByteArray &entries, const QJsonArray &post) {
            QTest::newRow(name) << feed(entries) << 25 << QJsonValue() << QJsonArray { post };
        };

        const QJsonArray normal = QJsonArray { row("t3_norm01", "Made this in Paint & I regret nothing",
                                                   "https://i.redd.it/a1b2c3d4e5f6.jpeg", "image"),
            row("t3_norm02", "When the code works on the first try", "https://i.imgur.com/Xy7Zq9k", "image"),
            row("t3_norm03", "Local man discovers memes", "https://www.example.com/news/story.html", "link"),
            row("t3_norm04", "Serious question about nothing",
                "https://www.reddit.com/r/dankmemes/comments/norm04/post/", "link"),
            row("t3_norm05", "Shouting picture", "https://preview.example.net/memes/LOUD.PNG?width=640&format=png",
                "image") };
        fixture("normalShortPage", "normal", 25, QJsonValue(), normal);
        fixture("normalFullPage", "normal", 5, "t3_norm05", normal);
        fixture("normalNoLimit", "normal", 0, "t3_norm05", normal);
        fixture("empty", "empty", 0, QJsonValue(), {});
        fixture("truncated", "truncated", 1, rejected, {});
        fixture("notXml", "notxml", 25, rejected, {});
        fixture("otherNamespace", "othernamespace", 25, rejected, {});
        // The last entry has no id, so even a full page cannot say where the next one starts.
        fixture("incomplete", "incomplete", 6, QJsonValue(),
            { row("t3_inc01", "No content at all", "https://www.reddit.com/r/dankmemes/comments/inc01/post/", "link"),
                row("t3_inc02", "Content without a link anchor", "", nullptr),
                row("t3_inc03", "Neither content nor link", "", nullptr),
                row("t3_inc04", "Link anchor without a target", "", nullptr),
                row("t3_inc05", "", "https://i.redd.it/untitled.png", "image"),
                row(nullptr, "No id, still a picture", "https://i.redd.it/noid.gif", "image") });
        fixture("htmlTitles", "htmltitles", 7, "t3_html07",
            { row("t3_html01", "Bold claim & a link", "https://i.redd.it/html01.jpg", "image"),
                row("t3_html02", "<script>alert(1)</script> stays text", "https://i.redd.it/html02.jpg", "image"),
                row("t3_html03", "It's \U0001F602 o'clock, \"really\"", "https://i.redd.it/html03.jpg", "image"),
                row("t3_html04", "Italic & in CDATA", "https://i.redd.it/html04.jpg", "image"),
                row("t3_html05", "Inline XHTML title", "https://i.redd.it/html05.jpg", "image"),
                row("t3_html06", "Tom & Jerry &bogus; & friends \uFFFD \uFFFD", "https://i.redd.it/html06.jpg",
                    "image"),
                row("t3_html07", "Spread over lines", "https://i.redd.it/html07.jpg", "image") });

        QTest::newRow("emptyBody") << QByteArray() << 25 << rejected << QJsonArray();
        QTest::newRow("rss2") << QByteArray("<rss version=\"2.0\"><channel><item><title>x</title>"
                                            "<link>https://i.redd.it/a.png</link></item></channel></rss>")
                              << 25 << rejected << QJsonArray();
        QTest::newRow("documentType") << QByteArray("<?xml version=\"1.0\"?><!DOCTYPE feed [<!ENTITY a \"aaaa\">"
                                                    "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;\">]><feed "
                                                    "xmlns=\"http://www.w3.org/2005/Atom\">"
                                                    "<entry><title>&b;</title></entry></feed>")
                                      << 25 << rejected << QJsonArray();
        QTest::newRow("trailingGarbage") << feed(entry("t3_a", "<a href=\"https://i.redd.it/a.png\">[link]</a>"))
                + "<feed/>" << 25 << rejected
                                         << QJsonArray();
        single("linkAnchorAmongOthers",
            entry("t3_b",
                "<a href=\"https://www.reddit.com/user/x\">/u/x</a> <a href=\"https://x.org/c\">[comments]</a>"
                "<span><a class=\"l\" href=\"https://x.org/pic.GIF\" >  [link]  </a ></span>"),
            row("t3_b", "Post t3_b", "https://x.org/pic.GIF", "image"));
        single("upperCaseSingleQuotes", entry("t3_c", "<A TITLE='x' HREF='https://i.redd.it/up.jpg'>[link]</A>"),
            row("t3_c", "Post t3_c", "https://i.redd.it/up.jpg", "image"));
        single("notAnAnchor", entry("t3_e", "<abbr href=\"https://i.redd.it/e.png\">[link]</abbr>"),
            row("t3_e", "Post t3_e", "", nullptr));
        single("xhtmlContent",
            "<entry><id>t3_h</id><title>X</title><content type=\"xhtml\"><div "
            "xmlns=\"http://www.w3.org/1999/xhtml\"><a href=\"https://x.org/c\">[comments]</a> <a "
            "href=\"https://i.imgur.com/h.gif\">[link]</a></div></content></entry>",
            row("t3_h", "X", "https://i.imgur.com/h.gif", "image"));
        single("alternateLinkOnly",
            "<entry><id>t3_i</id><title>I</title><link rel=\"self\" href=\"https://x.org/self\"/>"
            "<link rel=\"alternate\" href=\"https://x.org/i.png\"/><link href=\"https://x.org/later\"/></entry>",
            row("t3_i", "I", "https://x.org/i.png", "image"));
        single("foreignElementsIgnored",
            "<x:entry xmlns:x=\"urn:other\"><x:id>t3_no</x:id></x:entry><entry><id>t3_j</id>"
            "<x:title xmlns:x=\"urn:other\">Wrong</x:title><title>Right</title><nested><entry/></nested></entry>",
            row("t3_j", "Right", "", nullptr));
    }

    void toListing()
    {
        QFETCH(QByteArray, atom);
        QFETCH(int, requested);
        QFETCH(QJsonValue, after);
        QFETCH(QJsonArray, expected);
        const QJsonObject listing = convert(atom, requested);
        QCOMPARE(listing.isEmpty(), after.isUndefined());
        if (after.isUndefined())
            return;
        QCOMPARE(listing.value("data").toObject().value("after"), after);
        QCOMPARE(posts(listing), expected);
    }

    // A full page names its last entry as the cursor; one entry short of the request names none.
    void tenThousandEntries()
    {
        QList<AtomEntry> entries;
        for (int i = 1; i <= 10000; ++i)
            entries.append({ QStringLiteral("t3_gen%1").arg(i), QStringLiteral("Meme <%1> & co").arg(i),
                QStringLiteral("https://i.redd.it/generated%1.png").arg(i) });
        for (const int requested : { 10000, 10001 }) {
            const QJsonObject listing = convert(atomFeed(entries), requested);
            QCOMPARE(listing.value("data").toObject().value("after"),
                requested == 10000 ? QJsonValue("t3_gen10000") : QJsonValue());
            const QJsonArray rows = posts(listing);
            QCOMPARE(rows.size(), 10000);
            QCOMPARE(
                rows.first().toArray(), row("t3_gen1", "Meme <1> & co", "https://i.redd.it/generated1.png", "image"));
            QCOMPARE(rows.last().toArray(),
                row("t3_gen10000", "Meme <10000> & co", "https://i.redd.it/generated10000.png", "image"));
        }
    }

    void isPicture_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("picture");
        QTest::newRow("reddItHostUpperCase") << "https://I.REDD.IT/abc" << true;
        QTest::newRow("imgurHostPlainHttp") << "http://i.imgur.com/abc" << true;
        QTest::newRow("imgurPage") << "https://imgur.com/abc" << false;
        QTest::newRow("lookalikeHost") << "https://i.redd.it.example.com/abc" << false;
        QTest::newRow("jpegUpperCase") << "https://x.org/a/B.JPEG" << true;
        QTest::newRow("jpgWithQuery") << "https://x.org/a.jpg?width=640&s=1" << true;
        QTest::newRow("gifv") << "https://x.org/a.gifv" << false;
        QTest::newRow("extensionInQueryOnly") << "https://x.org/view?file=a.png" << false;
        QTest::newRow("localFile") << "file:///tmp/a.png" << false;
        QTest::newRow("relative") << "/img/a.png" << false;
        QTest::newRow("empty") << "" << false;
    }

    void isPicture()
    {
        QFETCH(QString, url);
        QFETCH(bool, picture);
        QCOMPARE(AtomListing::isPicture(url), picture);
    }

    // Hostile content must not make the link search quadratic: those rows finish at once or time out.
    void textFunctions_data()
    {
        QTest::addColumn<Function>("function");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("output");
        const Function decode = Function::DecodeEntities;
        add("named", decode, "&lt;&gt;&amp;&quot;&apos;&nbsp;", QString::fromUtf8("<>&\"'\u00a0"));
        add("decodedOnce", decode, "&amp;lt;", "&lt;");
        add("decimalAndHex", decode, "&#65;&#x42;&#X43;", "ABC");
        add("astral", decode, "&#x1F602;", QString::fromUtf8("\U0001F602"));
        add("nulSurrogateBeyondUnicode", decode, "&#0;&#xDC00;&#x110000;", QString::fromUtf8("\uFFFD\uFFFD\uFFFD"));
        add("overflowKept", decode, "&#99999999999;", "&#99999999999;");
        add("badNumbersKept", decode, "&#-65;&#x 41;&#xZZ;&#;", "&#-65;&#x 41;&#xZZ;&#;");
        add("unknownKept", decode, "&bogus; &AMP;", "&bogus; &AMP;");
        add("noSemicolon", decode, "fish &amp chips & more &", "fish &amp chips & more &");
        const Function plain = Function::PlainText;
        add("tags", plain, "<p class=\"x\">A <b>bold</b><br/> move</p>", "A bold move");
        add("escapedTagsStayText", plain, "&lt;b&gt;not bold&lt;/b&gt;", "<b>not bold</b>");
        add("comparisonIsNoTag", plain, "1 < 2 and 3 <4", "1 < 2 and 3 <4");
        add("commentRemoved", plain, "a<!-- hidden -->b", "ab");
        add("unclosedTagKept", plain, "broken <b", "broken <b");
        const Function link = Function::LinkTarget;
        const int count = 200000;
        add("entityInHref", link, "<a href=\"https://x.org/a.png?w=1&amp;h=2\">[link]</a>",
            "https://x.org/a.png?w=1&h=2");
        add("anchorWithoutHref", link, "<a name=\"x\">[link]</a>", QString());
        add("textAfterLink", link, "<a href=\"https://x.org/a\">[link] more</a>", QString());
        add("manyUnclosedAnchors", link, QString("<a ").repeated(count), QString());
        add("manyLinkTexts", link, QString(">[link]</a>").repeated(count) + "<a href=\"https://x.org/z\">[link]</a>",
            "https://x.org/z");
        add("longAttributes", link, "<a " + QString("x=\"1\" ").repeated(count) + "href=\"y\">[link]</a>", "y");
    }

    void textFunctions()
    {
        QFETCH(Function, function);
        QFETCH(QString, input);
        QFETCH(QString, output);
        QCOMPARE(function == Function::DecodeEntities ? AtomListing::decodeEntities(input)
                : function == Function::PlainText     ? AtomListing::plainText(input)
                                                      : AtomListing::linkTarget(input),
            output);
    }

    // The live board's feed: a gallery and video pages (.gifv on the picture host, in any case)
    // are links, so the trending page leaves them out; only the picture is an image post.
    void liveShapedFeed_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QJsonArray>("post");
        QTest::newRow("gallery") << 0
                                 << row("t3_real1b", "A gallery of three", "https://www.reddit.com/gallery/real1b",
                                        "link");
        QTest::newRow("gifvOnImgur") << 1
                                     << row("t3_real1e", "A gifv is a video page", "https://i.imgur.com/abcd123.gifv",
                                            "link");
        QTest::newRow("gifvInCapitalsWithQuery")
            << 2 << row("t3_real1h", "A gifv in capitals", "https://i.imgur.com/abcd124.GIFV?x=1", "link");
        QTest::newRow("picture") << 3 << row("t3_real1g", "Plain meme", "https://i.redd.it/real1g.png", "image");
    }

    void liveShapedFeed()
    {
        QFETCH(int, index);
        QFETCH(QJsonArray, post);
        const QJsonArray rows = posts(convert(atomFixture(QStringLiteral("real")), 25));
        QCOMPARE(rows.size(), 4);
        QCOMPARE(rows.at(index).toArray(), post);
    }

    // Each post's page is its entry's alternate link, absolute as given; none without one.
    void permalinks_data()
    {
        QTest::addColumn<QByteArray>("entries");
        QTest::addColumn<QJsonValue>("permalink"); // undefined: none

        const QByteArray content
            = "<content type=\"html\">&lt;a href=\"https://i.redd.it/p.png\"&gt;[link]&lt;/a&gt;</content>";
        QTest::newRow("among other links") << "<link rel=\"self\" href=\"https://x.test/self\"/><link "
                                              "rel=\"alternate\" href=\" https://x.test/post \"/>"
                + content << QJsonValue("https://x.test/post");
        QTest::newRow("without rel") << "<link href=\"https://x.test/post\"/>" + content
                                     << QJsonValue("https://x.test/post");
        QTest::newRow("none") << content << QJsonValue(QJsonValue::Undefined);
    }

    void permalinks()
    {
        QFETCH(QByteArray, entries);
        QFETCH(QJsonValue, permalink);
        const QJsonObject listing = convert(feed("<entry><id>t3_a</id><title>A</title>" + entries + "</entry>"), 25);
        const QJsonArray children = listing.value("data").toObject().value("children").toArray();
        QCOMPARE(children.size(), 1);
        QCOMPARE(children.first().toObject().value("data").toObject().value("permalink"), permalink);
    }
};

QTEST_GUILESS_MAIN(TestAtomListing)

#include "tst_atomlisting.moc"
