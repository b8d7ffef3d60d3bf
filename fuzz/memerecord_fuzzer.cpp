// Feeds arbitrary bytes to the meme record reader, from memory and from a file, and checks what it
// makes of them against Qt's own stream reader and against the writer.
#include "memerecord.h"

#include <QByteArray>
#include <QDataStream>
#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>
#include <memory>

namespace {
std::unique_ptr<QTemporaryDir> scratch;
QString recordPath;

void check(bool condition, const char *what)
{
    if (!condition) {
        qCritical("record reader: %s", what);
        std::abort();
    }
}

bool sameRecord(const MemeRecord &a, const MemeRecord &b)
{
    return a.title == b.title && a.format == b.format && a.key == b.key && a.animated == b.animated;
}

// How many bytes a record with these fields takes, if every field was read whole.
int encodedSize(const MemeRecord &record)
{
    auto stringSize = [](const QString &text) { return 4 + (text.isNull() ? 0 : 2 * text.size()); };
    return stringSize(record.title) + stringSize(record.format) + stringSize(record.key) + 1;
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    scratch = std::make_unique<QTemporaryDir>();
    check(scratch->isValid(), "no scratch folder");
    recordPath = scratch->filePath(QStringLiteral("fuzzed.dat"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    const MemeRecord record = MemeRecord::fromBytes(bytes);

    // Nothing read can be longer than the input itself.
    check(2 * (record.title.size() + record.format.size() + record.key.size()) <= bytes.size(), "text beyond input");

    // Writing what was read and reading it again changes nothing.
    check(sameRecord(MemeRecord::fromBytes(record.toBytes()), record), "round trip differs");

    // When every field was read whole, Qt's stream reader agrees field by field.
    if (encodedSize(record) <= bytes.size() && record.toBytes() == bytes.left(encodedSize(record))) {
        QDataStream stream(bytes);
        MemeRecord streamed;
        stream >> streamed.title >> streamed.format >> streamed.key >> streamed.animated;
        check(stream.status() == QDataStream::Ok, "stream reader failed on a whole record");
        check(sameRecord(streamed, record), "stream reader disagrees");
    }

    // The same bytes in a file read back the same.
    {
        // A new file each time: rewriting one in place makes ext4 flush it to disk on close.
        QFile::remove(recordPath);
        QFile file(recordPath);
        check(file.open(QIODevice::WriteOnly), "cannot write scratch file");
        check(file.write(bytes) == bytes.size(), "short write to scratch file");
    }
    check(sameRecord(MemeRecord::readFile(recordPath), record), "file reader differs from byte reader");
    return 0;
}
