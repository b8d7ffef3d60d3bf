#include "cannedroutes.h"

#include "testfiles.h"
#include "testhttpserver.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSharedPointer>
#include <QUrlQuery>
#include <QXmlStreamWriter>

// Resources of a static library are only registered when asked for by name, outside any namespace.
QByteArray testData(const QString &name)
{
    Q_INIT_RESOURCE(testdata);
    QFile file(QStringLiteral(":/testdata/") + name);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

namespace {
using Request = TestHttpServer::Request;
using Response = TestHttpServer::Response;

const QString atomNamespace = QStringLiteral("http://www.w3.org/2005/Atom");

const QHash<QString, Response::Delivery> deliveries { { "closeMidBody", Response::Delivery::CloseMidBody },
    { "neverComplete", Response::Delivery::NeverComplete }, { "unsized", Response::Delivery::Unsized } };

// The body of a route of tests/data/routes.json: its text, its file, or the later page of a listing
// that the cursor of the request chooses. "{origin}" stands for the server's address.
QByteArray cannedBody(const QJsonObject &route, const Request &request, const QString &origin)
{
    if (route.contains("text"))
        return route.value("text").toString().replace("{origin}", origin).toUtf8();
    const QJsonValue laterPage = route.value("after").toObject().value(QString::fromUtf8(request.queryItem("after")));
    // Image readers stop at the end of the picture, so the padding keeps it readable.
    return testData(laterPage.toString(route.value("file").toString()))
        .leftJustified(route.value("padTo").toInt(), '\0')
        .replace("{origin}", origin.toUtf8());
}

// The answer of a route of tests/data/routes.json, made afresh for each request: "{origin}" in the
// body or a header stands for the server's address.
Response cannedResponse(const QJsonObject &route, const Request &request, const QString &origin)
{
    const int status = route.value("status").toInt(200);
    const QByteArray type = route.value("type").toString().toUtf8();
    // Without a type, the route gives the server's own answer for its status.
    Response response
        = type.isEmpty() ? Response::withStatus(status) : Response::ok(cannedBody(route, request, origin), type);
    response.status = status;
    response.delivery = deliveries.value(route.value("delivery").toString(), Response::Delivery::Complete);
    const QJsonObject headers = route.value("headers").toObject();
    for (const QString &name : headers.keys())
        response.headers.append({ name.toUtf8(), headers.value(name).toString().replace("{origin}", origin).toUtf8() });
    return response;
}

// The tokens one server has issued.
using Grants = QByteArrayList;

// The installed-client grant, or `refusal`. An installed client has no secret, so its credentials
// end at the colon after the client ID.
Response grant(const Request &request, Grants &grants, const Response &refusal)
{
    const QByteArray authorization = request.headers.value("authorization");
    const bool unsafe = authorization == "Basic " + QByteArray("unsafe-token:").toBase64();
    const QUrlQuery form(QString::fromUtf8(request.body));
    const int deviceIdLength = form.queryItemValue(QStringLiteral("device_id"), QUrl::FullyDecoded).size();
    if (request.method != "POST" || (authorization != "Basic " + QByteArray("good-client:").toBase64() && !unsafe)
        || !request.headers.value("content-type").startsWith("application/x-www-form-urlencoded")
        || form.queryItemValue(QStringLiteral("grant_type"), QUrl::FullyDecoded)
            != QLatin1String("https://oauth.reddit.com/grants/installed_client")
        || deviceIdLength < 20 || deviceIdLength > 30)
        return refusal;

    // A token that would smuggle a header of its own into the next request.
    const QByteArray token = unsafe ? "token-0\r\nX-Injected: 1" : "token-" + QByteArray::number(grants.size() + 1);
    grants.append(token);
    const QJsonObject answer { { "access_token", QString::fromLatin1(token) }, { "token_type", "bearer" },
        { "expires_in", 86400 }, { "scope", "*" } };
    return Response::ok(QJsonDocument(answer).toJson(QJsonDocument::Compact), "application/json");
}

} // namespace

QByteArray atomFeed(const QList<AtomEntry> &entries)
{
    QByteArray xml;
    QXmlStreamWriter writer(&xml);
    writer.setAutoFormatting(true);
    writer.writeStartDocument();
    writer.writeDefaultNamespace(atomNamespace);
    writer.writeStartElement(atomNamespace, QStringLiteral("feed"));
    writer.writeTextElement(atomNamespace, QStringLiteral("id"), QStringLiteral("/r/dankmemes/.rss"));
    writer.writeTextElement(atomNamespace, QStringLiteral("title"), QStringLiteral("dank memes"));
    writer.writeTextElement(atomNamespace, QStringLiteral("updated"), QStringLiteral("2026-08-01T12:00:00+00:00"));
    for (const AtomEntry &entry : entries) {
        const QString comments
            = QStringLiteral("https://www.reddit.com/r/dankmemes/comments/%1/post/").arg(entry.id.mid(3));
        // The entry's content is HTML, escaped once more by the writer like any text.
        const QString content = QStringLiteral("<table> <tr><td> &#32; submitted by &#32; <a "
                                               "href=\"https://www.reddit.com/user/demo\"> /u/demo </a> <br/> "
                                               "<span><a href=\"%1\">[link]</a></span> &#32; "
                                               "<span><a href=\"%2\">[comments]</a></span> </td></tr></table>")
                                    .arg(entry.link.toHtmlEscaped(), comments);
        writer.writeStartElement(atomNamespace, QStringLiteral("entry"));
        writer.writeStartElement(atomNamespace, QStringLiteral("content"));
        writer.writeAttribute(QStringLiteral("type"), QStringLiteral("html"));
        writer.writeCharacters(content);
        writer.writeEndElement();
        writer.writeTextElement(atomNamespace, QStringLiteral("id"), entry.id);
        writer.writeEmptyElement(atomNamespace, QStringLiteral("link"));
        writer.writeAttribute(QStringLiteral("href"), comments);
        writer.writeTextElement(atomNamespace, QStringLiteral("updated"), QStringLiteral("2026-08-01T11:58:00+00:00"));
        // The forum escapes its titles once more than the format asks for.
        writer.writeTextElement(atomNamespace, QStringLiteral("title"), entry.title.toHtmlEscaped());
        writer.writeEndElement();
    }
    writer.writeEndDocument();
    return xml;
}

QByteArray atomFixture(const QString &name)
{
    return testData(QStringLiteral("atom-") + name + (name == QLatin1String("notxml") ? ".html" : ".xml"));
}

void installCannedRoutes(TestHttpServer &server)
{
    const QJsonObject table = QJsonDocument::fromJson(testData(QStringLiteral("routes.json"))).object();
    // The answer of a route of the table; the routes of the forum's API below answer with some of them.
    const auto canned = [&server, table](const QString &path, const Request &request) {
        return cannedResponse(table.value(path).toObject(), request, server.url());
    };
    for (const QString &path : table.keys())
        server.route(path.toUtf8(), [canned, path](const Request &request) { return canned(path, request); });
    server.route("/img/redirect-to", [](const Request &request) {
        return Response::redirect(QByteArray::fromPercentEncoding(request.queryItem("to")));
    });

    // The forum's API: a grant, and a listing for the tokens it issued only.
    const QSharedPointer<Grants> grants(new Grants);
    server.route("/api/v1/access_token", [canned, grants](const Request &request) {
        return grant(request, *grants, canned("/r/dankmemes/unauthorized.json", request));
    });
    server.route("/r/dankmemes/guarded.json", [canned, grants](const Request &request) {
        const QByteArray authorization = request.headers.value("authorization");
        // What the forum sends an anonymous client that asks for a JSON listing.
        if (authorization.isEmpty())
            return canned("/r/dankmemes/truncated.json", request);
        if (!authorization.startsWith("bearer ") || !grants->contains(authorization.mid(7)))
            return canned("/r/dankmemes/unauthorized.json", request);
        return canned("/r/dankmemes/hot.json", request);
    });
}

QList<QPair<QString, QString>> nonWebPictures(const TestHttpServer &server, const QString &folder)
{
    const QByteArray stillPng = testData(QStringLiteral("still.png"));
    const QString file = folder + QStringLiteral("/private.png");
    if (!TestFiles::write(file, stillPng))
        qFatal("cannot write %s", qPrintable(file));
    const QList<QPair<QString, QString>> targets {
        { QStringLiteral("file"), QString::fromLatin1(QUrl::fromLocalFile(file).toEncoded()) },
        { QStringLiteral("qrc"), QStringLiteral("qrc:/testdata/single.gif") },
        { QStringLiteral("data"), QStringLiteral("data:image/png;base64,") + QString::fromLatin1(stillPng.toBase64()) },
        { QStringLiteral("ftp"), QStringLiteral("ftp://127.0.0.1:%1/img/still.png").arg(QUrl(server.url()).port()) },
    };
    QList<QPair<QString, QString>> pictures;
    for (const auto &target : targets) {
        const QString encoded = QString::fromLatin1(QUrl::toPercentEncoding(target.second));
        pictures << target << qMakePair("redirect to " + target.first, server.url() + "/img/redirect-to?to=" + encoded);
    }
    return pictures;
}
