#include "atomlisting.h"
#include "cannedroutes.h"

#include <QFile>
#include <QJsonDocument>
#include <QtTest>

namespace {
enum class Function { DecodeEntities, PlainText, LinkTarget, IsPicture };

void add(const char *name, Function function, const QString &input, const QString &output)
{
    QTest::newRow(name) << function << input << output;
}
} // namespace
Q_DECLARE_METATYPE(Function)

class TestAtomListing : public QObject {
    Q_OBJECT

private slots:
    // Each fixture tests/data/atom-X converts to the listing in tests/data/atom-X.json; where there
    // is none, the feed is refused (empty text).
    void toListing_data()
    {
        QTest::addColumn<QString>("fixture");
        QTest::addColumn<int>("requested");
        // A short page names no cursor; the incomplete feed's last entry has no id to name.
        QTest::newRow("normal") << "normal" << 25;
        QTest::newRow("empty") << "empty" << 0;
        QTest::newRow("incomplete") << "incomplete" << 6;
        QTest::newRow("htmltitles") << "htmltitles" << 7;
        QTest::newRow("edgecases") << "edgecases" << 25;
        // The live board's shapes: a gallery and .gifv video pages are links, never pictures.
        QTest::newRow("real") << "real" << 25;
        for (const char *refused : { "truncated", "notxml", "othernamespace", "doctype", "rss2", "trailinggarbage" })
            QTest::newRow(refused) << refused << 1;
        QTest::newRow("emptyBody") << "" << 25;
    }

    void toListing()
    {
        QFETCH(QString, fixture);
        QFETCH(int, requested);
        const QByteArray text
            = AtomListing::toListing(fixture.isEmpty() ? QByteArray() : atomFixture(fixture), requested);
        QFile expected(QStringLiteral(":/testdata/atom-%1.json").arg(QTest::currentDataTag()));
        QCOMPARE(text.isEmpty(), !expected.open(QIODevice::ReadOnly));
        if (!text.isEmpty())
            QCOMPARE(QJsonDocument::fromJson(text), QJsonDocument::fromJson(expected.readAll()));
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
        add("numbers", decode, "&#65;&#x42;&#X43;&#x1F602;", QString::fromUtf8("ABC\U0001F602"));
        add("nulSurrogateBeyondUnicode", decode, "&#0;&#xDC00;&#x110000;", QString::fromUtf8("\uFFFD\uFFFD\uFFFD"));
        add("badOnesKept", decode, "&#99999999999;&#-65;&#xZZ;&bogus;&AMP;&amp chips &",
            "&#99999999999;&#-65;&#xZZ;&bogus;&AMP;&amp chips &");
        const Function plain = Function::PlainText;
        add("tags", plain, "<p class=\"x\">A <b>bold</b><br/> move</p>", "A bold move");
        add("escapedTagsStayText", plain, "&lt;b&gt;not bold&lt;/b&gt;", "<b>not bold</b>");
        add("comparisonIsNoTag", plain, "1 < 2 and 3 > 2", "1 < 2 and 3 > 2");
        add("commentRemovedUnclosedKept", plain, "a<!-- hidden -->b <b", "ab <b");
        const Function link = Function::LinkTarget;
        const int count = 200000;
        add("entityInHref", link, "<a href=\"https://x.org/a.png?w=1&amp;h=2\">[link]</a>",
            "https://x.org/a.png?w=1&h=2");
        add("textAfterLink", link, "<a href=\"https://x.org/a\">[link] more</a>", QString());
        add("manyUnclosedAnchors", link, QString("<a ").repeated(count), QString());
        add("manyLinkTexts", link, QString(">[link]</a>").repeated(count) + "<a href=\"https://x.org/z\">[link]</a>",
            "https://x.org/z");
        const Function picture = Function::IsPicture;
        add("imgurHostPlainHttp", picture, "http://i.imgur.com/abc", "true");
        add("lookalikeHost", picture, "https://i.redd.it.example.com/abc", "false");
        add("jpegWithQuery", picture, "https://x.org/a/B.JPEG?width=640&s=1", "true");
        add("extensionInQueryOnly", picture, "https://x.org/view?file=a.png", "false");
        add("notTheWeb", picture, "ftp://i.redd.it/a.png", "false");
    }

    void textFunctions()
    {
        QFETCH(Function, function);
        QFETCH(QString, input);
        QFETCH(QString, output);
        switch (function) {
        case Function::DecodeEntities:
            QCOMPARE(AtomListing::decodeEntities(input), output);
            break;
        case Function::PlainText:
            QCOMPARE(AtomListing::plainText(input), output);
            break;
        case Function::LinkTarget:
            QCOMPARE(AtomListing::linkTarget(input), output);
            break;
        case Function::IsPicture:
            QCOMPARE(AtomListing::isPicture(input), output == QLatin1String("true"));
            break;
        }
    }
};

QTEST_GUILESS_MAIN(TestAtomListing)

#include "tst_atomlisting.moc"
