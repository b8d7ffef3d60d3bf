#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

class TestHttpServer;

// The canned content served to tests and to the demo feed. Listings live under
// /r/dankmemes/<sort>.json, so a test chooses a listing by storing a sort name; pictures under /img/.
// tests/data/routes.json maps each fixed path to its answer: a file of tests/data or a text with its
// type (without one, the server's plain answer for the status), a status, a delivery, headers, and a
// later page of a listing by the "after" query item. "{origin}" in a body or a header is replaced per
// request by the server's own URL. The routes that decide by the request (the grant, the guarded
// listing, /img/redirect-to) are code.
//
//   /r/dankmemes/hot.json          page 1: "Pinned rules" (stickied image), "First meme" (/img/still.png),
//                                  "A link post" (link), "No hint at all" (no post_hint),
//                                  "Second meme" (/img/photo.jpg); after "t3_page2"
//   /r/dankmemes/hot.json?after=t3_page2   "Second page meme" (/img/photo.jpg); after null
//   /r/dankmemes/cursor.json       no posts; after "t3_cursor"
//   /r/dankmemes/empty.json        "data" without "children" and without "after"
//   /r/dankmemes/nul.json          a listing (after "t3_nul") followed by a NUL byte and more text
//   /r/dankmemes/redirect.json     302 to hot.json?after=t3_page2
//   /r/dankmemes/real.json         the fixtures tests/data/listing-real-page1.json and, after=t3_real1g,
//                                  -page2.json, {origin} replaced: a pinned post, a gallery of three, an
//                                  over_18 and a spoiler post, two .gifv posts, "Plain meme"; page 2
//                                  repeats "Plain meme" and adds "Page two meme"
//   /r/dankmemes/kept.json         "Kept meme" (/img/kept.png); after null
//   /r/dankmemes/permalinks.json   "Post k1" to "Post k4", each with its page (permalink) and picture
//   /r/dankmemes/markup.json       titles with markup and with escapes as the forum writes them
//   /img/kept.png                  still.png, cacheable for a day
//   /r/dankmemes/status500.json    status 500
//   /img/still.png, /img/photo.jpg 40x30 PNG (red) and JPEG (blue)
//   /img/animated.gif, /img/single.gif   GIF of 3 frames, GIF of 1 frame
//   /img/notimage.txt              plain text
//   /img/redirect                  302 to /img/still.png
//   /img/redirect-to?to=ADDRESS    302 to ADDRESS (percent-encoded in the query), whatever its scheme
//   /img/close, /img/stall         photo.jpg cut off halfway; head only, body never comes
//   /img/huge, /img/huge-unsized   a readable JPEG padded to 3 MiB, with and without Content-Length
//   /img/status404                 status 404
//
// The forum's API and its Atom feeds:
//   POST /api/v1/access_token      the installed-client grant. 401 unless it carries basic credentials
//                                  with an empty secret, a form body with grant_type
//                                  https://oauth.reddit.com/grants/installed_client and a device_id of
//                                  20 to 30 characters. Otherwise it answers by client ID:
//                                    "good-client"  a new token "token-N" (N counts the grants so far),
//                                                   valid for a day
//                                    "unsafe-token" a token with a line break and a header after it
//                                    anything else  401
//   /r/dankmemes/guarded.json      as the forum behaves for anonymous clients since mid-2026: 403 and an
//                                  HTML page without a token; with a token from the grant above the
//                                  pages of hot.json; with any other token 401
//   /r/dankmemes/guarded/.rss      the Atom fixture tests/data/atom-normal.xml (five posts, three pictures)
//   /r/dankmemes/unauthorized.json 401 whatever the token
//   /r/dankmemes/truncated.json    403, and /r/dankmemes/truncated/.rss the fixture atom-truncated.xml
//   /r/dankmemes/atom-real.json    403, and /r/dankmemes/atom-real/.rss the fixture atom-real.xml: a
//                                  gallery link, two .gifv links, one picture
//   anything else                  404
void installCannedRoutes(TestHttpServer &server);

// One post of an Atom feed as the forum writes it: the target goes into the "[link]" anchor of the
// entry's HTML content.
struct AtomEntry {
    QString id;
    QString title;
    QString link;
};

// An Atom feed of the board in the forum's shape, for routes of tests and of the demo feed.
QByteArray atomFeed(const QList<AtomEntry> &entries);

// A file of tests/data by name, as the routes serve it.
QByteArray testData(const QString &name);

// The Atom fixtures above by name ("normal", "notxml", ...), as the routes serve them.
QByteArray atomFixture(const QString &name);

// Picture addresses that are not on the web, as (name, address): "file" (a copy of /img/still.png
// written into `folder`), "qrc", "data" and "ftp" (the test server's port, which never greets an
// FTP client), each followed by "redirect to <name>", the test server redirecting there.
QList<QPair<QString, QString>> nonWebPictures(const TestHttpServer &server, const QString &folder);
