#include "memerecord.h"

#include <QDataStream>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

namespace
{
class RecordParser
{
public:
    explicit RecordParser(const QByteArray &bytes)
        : data(bytes)
    {
    }

    QString readString()
    {
        if (failed || remaining() < 4)
            return fail<QString>();
        const quint32 byteCount = qFromBigEndian<quint32>(data.constData() + position);
        position += 4;
        if (byteCount == 0xFFFFFFFFu)
            return QString();
        // UTF-16 needs an even count, and the text cannot be longer than what is left.
        if (byteCount % 2 != 0 || byteCount > quint32(remaining()))
            return fail<QString>();
        QString text(int(byteCount / 2), Qt::Uninitialized);
        const char *source = data.constData() + position;
        for (QChar &character : text) {
            character = QChar(qFromBigEndian<quint16>(source));
            source += 2;
        }
        position += int(byteCount);
        return text;
    }

    bool readBool()
    {
        if (failed || remaining() < 1)
            return fail<bool>();
        return data.at(position++) != 0;
    }

private:
    template<typename T> T fail()
    {
        failed = true;
        return T();
    }

    int remaining() const { return data.size() - position; }

    const QByteArray &data;
    int position = 0;
    bool failed = false;
};
} // namespace

QByteArray MemeRecord::toBytes() const
{
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream << title << format << key << animated;
    return bytes;
}

MemeRecord MemeRecord::fromBytes(const QByteArray &bytes)
{
    RecordParser parser(bytes);
    MemeRecord record;
    record.title = parser.readString();
    record.format = parser.readString();
    record.key = parser.readString();
    record.animated = parser.readBool();
    return record;
}

MemeRecord MemeRecord::readFile(const QString &path)
{
    // Regular files only: opening a FIFO someone left in the directory would block the GUI thread.
    if (!QFileInfo(path).isFile())
        return MemeRecord();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return MemeRecord();
    return fromBytes(file.read(maxFileSize));
}
