#include "hostilepictures.h"

#include <QtEndian>

namespace {
quint32 crc32(const QByteArray &bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char byte : bytes) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

QByteArray bigEndian32(quint32 value)
{
    QByteArray bytes(4, Qt::Uninitialized);
    qToBigEndian(value, bytes.data());
    return bytes;
}

QByteArray littleEndian16(quint16 value)
{
    return QByteArray(1, char(value & 0xff)) + char(value >> 8);
}

QByteArray pngChunk(const QByteArray &type, const QByteArray &data)
{
    return bigEndian32(quint32(data.size())) + type + data + bigEndian32(crc32(type + data));
}
} // namespace

QByteArray HostilePictures::blackPng(quint32 width, quint32 height, bool pixels)
{
    // Bit depth 1, greyscale, deflate, adaptive filtering, no interlace.
    const QByteArray header = bigEndian32(width) + bigEndian32(height) + QByteArray::fromHex("0100000000");
    QByteArray png = QByteArray::fromHex("89504e470d0a1a0a") + pngChunk("IHDR", header);
    if (pixels) {
        const QByteArray rows(int(height * (1 + (width + 7) / 8)), '\0'); // each row: filter byte, bits
        png += pngChunk("IDAT", qCompress(rows, 9).mid(4)); // qCompress puts a length before the zlib stream
    }
    return png + pngChunk("IEND", QByteArray());
}

QByteArray HostilePictures::manyFrameGif(int frames, quint16 screenWidth, quint16 screenHeight)
{
    QByteArray gif = "GIF89a" + littleEndian16(screenWidth) + littleEndian16(screenHeight);
    // A two-colour global table (black, white), then the extension that loops forever.
    gif += QByteArray::fromHex("800000000000ffffff");
    gif += QByteArray::fromHex("21ff0b") + "NETSCAPE2.0" + QByteArray::fromHex("0301000000");
    // Graphic control (10 ms); a 1x1 image at 0,0; its one black pixel, LZW-coded.
    const QByteArray frame = QByteArray::fromHex("21f9040401000000") + QByteArray::fromHex("2c000000000100010000")
        + QByteArray::fromHex("0202440100");
    gif.reserve(gif.size() + frames * frame.size() + 1);
    for (int i = 0; i < frames; ++i)
        gif += frame;
    return gif + ';';
}
