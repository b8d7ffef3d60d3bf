#include "atomlisting.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>
#include <QXmlStreamReader>

#include <algorithm>

namespace {
const QString atomNamespace = QStringLiteral("http://www.w3.org/2005/Atom");
// Longer than any character reference worth decoding ("&#x10FFFF;"); bounds the look-ahead.
const int longestReference = 12;

struct Entry {
    QString id;
    QString title;
    QString url;
    QString permalink; // the entry's alternate link: the post's own page
};

bool isHtmlSpace(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r')
        || c == QLatin1Char('\f');
}

int skipSpaces(const QString &text, int position)
{
    while (position < text.size() && isHtmlSpace(text.at(position)))
        ++position;
    return position;
}

bool isDigit(QChar c, bool hex)
{
    const ushort u = c.unicode();
    return (u >= '0' && u <= '9') || (hex && ((u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F')));
}

void appendCodePoint(QString &out, uint code)
{
    if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        out += QChar(QChar::ReplacementCharacter);
    } else if (QChar::requiresSurrogates(code)) {
        out += QChar(QChar::highSurrogate(code));
        out += QChar(QChar::lowSurrogate(code));
    } else {
        out += QChar(code);
    }
}

// Decodes the reference whose name lies between '&' and ';'; false when it is not one we know.
bool appendReference(QString &out, const QStringRef &name)
{
    if (name.startsWith(QLatin1Char('#'))) {
        const bool hex = name.size() > 1 && (name.at(1) == QLatin1Char('x') || name.at(1) == QLatin1Char('X'));
        const QStringRef digits = name.mid(hex ? 2 : 1);
        // toUInt() would also take signs and spaces; a reference holds digits only.
        if (digits.isEmpty() || std::any_of(digits.begin(), digits.end(), [hex](QChar c) { return !isDigit(c, hex); }))
            return false;
        bool ok = false;
        const uint code = digits.toUInt(&ok, hex ? 16 : 10);
        if (!ok)
            return false;
        appendCodePoint(out, code);
        return true;
    }
    static const struct {
        const char *name;
        char16_t character;
    } named[] = { { "amp", u'&' }, { "lt", u'<' }, { "gt", u'>' }, { "quot", u'"' }, { "apos", u'\'' },
        { "nbsp", u'\u00A0' } };
    for (const auto &reference : named) {
        if (name == QLatin1String(reference.name)) {
            out += QChar(reference.character);
            return true;
        }
    }
    return false;
}

// The href attribute of an anchor's attribute text (what lies between "<a" and ">"); null if none.
QString hrefOf(const QString &attributes)
{
    int i = 0;
    const int size = attributes.size();
    while (i < size) {
        while (i < size && (isHtmlSpace(attributes.at(i)) || attributes.at(i) == QLatin1Char('/')))
            ++i;
        const int nameStart = i;
        while (i < size && !isHtmlSpace(attributes.at(i)) && attributes.at(i) != QLatin1Char('='))
            ++i;
        const QStringRef name = attributes.midRef(nameStart, i - nameStart);
        i = skipSpaces(attributes, i);
        QString value;
        if (i < size && attributes.at(i) == QLatin1Char('=')) {
            i = skipSpaces(attributes, i + 1);
            if (i < size && (attributes.at(i) == QLatin1Char('"') || attributes.at(i) == QLatin1Char('\''))) {
                const QChar quote = attributes.at(i);
                const int end = attributes.indexOf(quote, i + 1);
                const int valueEnd = end < 0 ? size : end;
                value = attributes.mid(i + 1, valueEnd - i - 1);
                i = valueEnd + 1;
            } else {
                const int valueStart = i;
                while (i < size && !isHtmlSpace(attributes.at(i)))
                    ++i;
                value = attributes.mid(valueStart, i - valueStart);
            }
        }
        if (name.compare(QLatin1String("href"), Qt::CaseInsensitive) == 0)
            return value.isNull() ? QStringLiteral("") : value;
    }
    return QString();
}

// Title: plain text for "text", markup for "html", child elements for "xhtml". The forum escapes
// its titles once more than the feed format asks for, as it does in its JSON listing.
QString readTitle(QXmlStreamReader &reader)
{
    const QString type = reader.attributes().value(QLatin1String("type")).toString();
    QString text = reader.readElementText(QXmlStreamReader::IncludeChildElements);
    if (type == QLatin1String("html"))
        return AtomListing::plainText(text);
    if (type == QLatin1String("xhtml"))
        return text;
    return AtomListing::decodeEntities(text);
}

// The "[link]" anchor of inline XHTML content (its markup is part of the document).
QString readXhtmlLink(QXmlStreamReader &reader)
{
    QString link;
    QString anchorHref;
    QString anchorText;
    bool inAnchor = false;
    int depth = 1;
    while (depth > 0 && !reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            ++depth;
            if (reader.name() == QLatin1String("a")) {
                inAnchor = true;
                anchorHref = reader.attributes().value(QLatin1String("href")).toString();
                anchorText.clear();
            }
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            if (inAnchor && reader.name() == QLatin1String("a")) {
                inAnchor = false;
                if (link.isNull() && anchorText.trimmed() == QLatin1String("[link]"))
                    link = anchorHref.isNull() ? QStringLiteral("") : anchorHref;
            }
            break;
        case QXmlStreamReader::Characters:
            if (inAnchor)
                anchorText += reader.text();
            break;
        default:
            break;
        }
    }
    return link;
}

QString readContentLink(QXmlStreamReader &reader)
{
    const QString type = reader.attributes().value(QLatin1String("type")).toString();
    if (type == QLatin1String("xhtml"))
        return readXhtmlLink(reader);
    const QString text = reader.readElementText(QXmlStreamReader::IncludeChildElements);
    if (type == QLatin1String("html") || type == QLatin1String("text/html"))
        return AtomListing::linkTarget(text);
    return QString();
}

Entry readEntry(QXmlStreamReader &reader)
{
    Entry entry;
    QString contentLink;
    QString alternate;
    while (reader.readNextStartElement()) {
        if (reader.namespaceUri() != atomNamespace) {
            reader.skipCurrentElement();
            continue;
        }
        const QString name = reader.name().toString();
        if (name == QLatin1String("id")) {
            entry.id = reader.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
        } else if (name == QLatin1String("title")) {
            entry.title = readTitle(reader).simplified();
        } else if (name == QLatin1String("content")) {
            contentLink = readContentLink(reader);
        } else if (name == QLatin1String("link")) {
            const QString rel = reader.attributes().value(QLatin1String("rel")).toString();
            if (alternate.isNull() && (rel.isEmpty() || rel == QLatin1String("alternate")))
                alternate = reader.attributes().value(QLatin1String("href")).toString();
            reader.skipCurrentElement();
        } else {
            reader.skipCurrentElement();
        }
    }
    // Without a "[link]" anchor the post's own page is the best target there is.
    entry.url = (contentLink.isNull() ? alternate : contentLink).trimmed();
    entry.permalink = alternate.trimmed();
    return entry;
}

QJsonObject child(const Entry &entry)
{
    QJsonObject data { { QStringLiteral("title"), entry.title }, { QStringLiteral("url"), entry.url },
        { QStringLiteral("stickied"), false } };
    if (!entry.id.isEmpty())
        data.insert(QStringLiteral("name"), entry.id);
    if (!entry.permalink.isEmpty())
        data.insert(QStringLiteral("permalink"), entry.permalink);
    if (!entry.url.isEmpty())
        data.insert(QStringLiteral("post_hint"),
            AtomListing::isPicture(entry.url) ? QStringLiteral("image") : QStringLiteral("link"));
    return QJsonObject { { QStringLiteral("kind"), QStringLiteral("t3") }, { QStringLiteral("data"), data } };
}
} // namespace

QString AtomListing::decodeEntities(const QString &text)
{
    if (!text.contains(QLatin1Char('&')))
        return text;
    QString out;
    out.reserve(text.size());
    const int size = text.size();
    int i = 0;
    while (i < size) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('&')) {
            out += c;
            ++i;
            continue;
        }
        int semicolon = -1;
        for (int j = i + 1; j < size && j <= i + longestReference; ++j) {
            if (text.at(j) == QLatin1Char(';')) {
                semicolon = j;
                break;
            }
        }
        if (semicolon > i + 1 && appendReference(out, text.midRef(i + 1, semicolon - i - 1))) {
            i = semicolon + 1;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

QString AtomListing::plainText(const QString &html)
{
    QString text;
    text.reserve(html.size());
    const int size = html.size();
    int i = 0;
    while (i < size) {
        const QChar c = html.at(i);
        const QChar next = i + 1 < size ? html.at(i + 1) : QChar();
        const bool tagStart = c == QLatin1Char('<')
            && (next.isLetter() || next == QLatin1Char('/') || next == QLatin1Char('!') || next == QLatin1Char('?'));
        if (!tagStart) {
            text += c;
            ++i;
            continue;
        }
        const int close = html.indexOf(QLatin1Char('>'), i);
        if (close < 0) {
            // An unclosed tag: no later '>' can end it, so the rest is text.
            text += html.midRef(i);
            break;
        }
        i = close + 1;
    }
    return decodeEntities(text);
}

QString AtomListing::linkTarget(const QString &html)
{
    const QLatin1String linkText("[link]");
    int from = 0;
    for (;;) {
        const int open = html.indexOf(QLatin1String("<a"), from, Qt::CaseInsensitive);
        if (open < 0)
            return QString();
        if (open + 2 >= html.size() || !isHtmlSpace(html.at(open + 2))) {
            from = open + 2;
            continue;
        }
        const int close = html.indexOf(QLatin1Char('>'), open);
        if (close < 0)
            return QString();
        int position = skipSpaces(html, close + 1);
        if (html.midRef(position, linkText.size()) == linkText) {
            position = skipSpaces(html, position + linkText.size());
            if (html.midRef(position, 3).compare(QLatin1String("</a"), Qt::CaseInsensitive) == 0) {
                const QString href = hrefOf(html.mid(open + 2, close - open - 2));
                if (!href.isNull())
                    return decodeEntities(href);
            }
        }
        // Tags do not nest, so the next anchor starts after this tag's end.
        from = close + 1;
    }
}

bool AtomListing::isPicture(const QString &url)
{
    const QUrl target(url, QUrl::TolerantMode);
    // Anything but the web (file:, data:, javascript:) is never treated as a picture to load.
    if (!target.isValid() || (target.scheme() != QLatin1String("https") && target.scheme() != QLatin1String("http"))
        || target.host().isEmpty())
        return false;
    const QString path = target.path();
    // Video pages on the picture hosts (i.imgur.com/<id>.gifv above all) look like pictures by host.
    for (const char *extension : { ".gifv", ".mp4", ".webm" }) {
        if (path.endsWith(QLatin1String(extension), Qt::CaseInsensitive))
            return false;
    }
    const QString host = target.host().toLower();
    if (host == QLatin1String("i.redd.it") || host == QLatin1String("i.imgur.com"))
        return true;
    for (const char *extension : { ".jpg", ".jpeg", ".png", ".gif" }) {
        if (path.endsWith(QLatin1String(extension), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

QByteArray AtomListing::toListing(const QByteArray &atom, int requested)
{
    QXmlStreamReader reader(atom);
    while (!reader.atEnd() && !reader.isStartElement()) {
        // Feeds need no document type; refusing one also rules out entity expansion.
        if (reader.readNext() == QXmlStreamReader::DTD)
            return QByteArray();
    }
    if (!reader.isStartElement() || reader.name() != QLatin1String("feed") || reader.namespaceUri() != atomNamespace)
        return QByteArray();

    QJsonArray children;
    QString lastId;
    while (reader.readNextStartElement()) {
        if (reader.namespaceUri() == atomNamespace && reader.name() == QLatin1String("entry")) {
            const Entry entry = readEntry(reader);
            children.append(child(entry));
            lastId = entry.id;
        } else {
            reader.skipCurrentElement();
        }
    }
    // What follows the feed must be well formed too; a body cut short ends in an error here.
    while (!reader.atEnd())
        reader.readNext();
    if (reader.hasError())
        return QByteArray();

    const bool morePages = !children.isEmpty() && children.size() >= requested && !lastId.isEmpty();
    const QJsonObject data { { QStringLiteral("after"), morePages ? QJsonValue(lastId) : QJsonValue(QJsonValue::Null) },
        { QStringLiteral("dist"), children.size() }, { QStringLiteral("children"), children } };
    const QJsonObject listing { { QStringLiteral("kind"), QStringLiteral("Listing") },
        { QStringLiteral("data"), data } };
    return QJsonDocument(listing).toJson(QJsonDocument::Compact);
}
