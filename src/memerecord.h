#pragma once

#include <QByteArray>
#include <QString>

// The small fixed-layout file stored beside each saved picture: title, image format name, meme key
// and whether the picture is animated, in QDataStream's big-endian encoding without any header.
struct MemeRecord {
    QString title;
    QString format;
    QString key;
    bool animated = false;

    QByteArray toBytes() const;

    // Never trusts the input: a field that is cut short or malformed comes out empty (false for the
    // flag), and so does every field after it. Nothing is allocated beyond the input's size.
    static MemeRecord fromBytes(const QByteArray &bytes);

    // Reads at most maxFileSize bytes of the file; a missing file, or anything but a regular file,
    // gives an empty record.
    static MemeRecord readFile(const QString &path);

    static constexpr qint64 maxFileSize = 1024LL * 1024;
};
