#pragma once

#include <QByteArray>
#include <QtGlobal>

// Pictures built byte by byte, so that each claims exactly what a hostile host would send.
namespace HostilePictures {
// A black-and-white PNG of the given size. With `pixels`, the whole picture follows, compressed
// (one bit per pixel of zeros: 30000x30000 takes about 110 KB); without, the header alone.
QByteArray blackPng(quint32 width, quint32 height, bool pixels);

// An animated GIF of 1x1 frames on a screen of the given size, 10 ms per frame.
QByteArray manyFrameGif(int frames, quint16 screenWidth = 1, quint16 screenHeight = 1);
} // namespace HostilePictures
