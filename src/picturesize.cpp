#include "picturesize.h"

#include <QBuffer>
#include <QImageReader>
#include <QtEndian>

QSize PictureSize::decoded(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    if (!reader.canRead())
        return QSize();
    const QSize size = reader.size();
    // Qt's GIF decoder paints every frame on a canvas of the logical screen's size, which the
    // reader does not report (it gives the first frame's).
    if (reader.format() != "gif" || bytes.size() < 10 || !size.isValid())
        return size;
    const QSize screen(
        qFromLittleEndian<quint16>(bytes.constData() + 6), qFromLittleEndian<quint16>(bytes.constData() + 8));
    return size.expandedTo(screen);
}

bool PictureSize::isSensible(const QSize &size)
{
    return size.isValid() && qint64(size.width()) * size.height() <= maxPixels;
}
