// Feeds arbitrary bytes to the Atom-to-listing converter: whatever it returns is either nothing or
// a listing the trending page can read.
#include "atomlisting.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdlib>

namespace {
void check(bool condition, const char *what)
{
    if (!condition) {
        qCritical("Atom converter: %s", what);
        std::abort();
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    // The first byte picks the page size asked for, as the settings page's choices and beyond.
    const int requested = int(data[0]) - 8;
    const QByteArray atom = QByteArray::fromRawData(reinterpret_cast<const char *>(data + 1), int(size - 1));
    const QByteArray listing = AtomListing::toListing(atom, requested);
    if (listing.isEmpty())
        return 0;

    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(listing, &error);
    check(error.error == QJsonParseError::NoError, "listing is not JSON");
    const QJsonObject listingData = document.object().value("data").toObject();
    check(listingData.value("children").isArray(), "listing without children");
    const QJsonValue after = listingData.value("after");
    check(after.isNull() || after.isString(), "cursor neither null nor text");
    // Const, so that the loop reads the array instead of detaching a copy of it.
    const QJsonArray children = listingData.value("children").toArray();
    for (const QJsonValue &child : children) {
        const QJsonObject post = child.toObject().value("data").toObject();
        check(post.value("title").isString() && post.value("url").isString(), "post without title or url");
    }

    // Helpers the converter is built from take any text too.
    const QString text = QString::fromUtf8(atom);
    AtomListing::plainText(text);
    AtomListing::linkTarget(text);
    AtomListing::isPicture(text);
    return 0;
}
