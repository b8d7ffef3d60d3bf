#pragma once

#include <QByteArray>
#include <QSize>
#include <QtGlobal>

// How large a picture becomes once decoded, read from its header alone, and whether that is more
// than the program is willing to decode. A few kilobytes of PNG can claim 30000x30000 pixels.
class PictureSize {
public:
    // Decoded, a picture of this many pixels takes 400 MB.
    static constexpr qint64 maxPixels = 100LL * 1000 * 1000;

    // The size Qt's decoders allocate for the picture whose leading bytes are `bytes`; invalid when
    // the bytes are no picture Qt reads or do not reach the end of its header yet.
    static QSize decoded(const QByteArray &bytes);
    static bool isSensible(const QSize &size);
};
