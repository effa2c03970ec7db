#pragma once

#include <QByteArrayView>
#include <QImage>

namespace koravel {

// Decodes an uncompressed 24-bit or 8-bit palette BMP file, bottom row first,
// as the window's built-in pictures and icons are stored, straight into the
// pixel format a pixmap holds. Anything else (run-length coded, other depths,
// top-down, a file cut short) gives a null image, for Qt's own reader to take.
// Qt's reader gives the same pixels, at about five times the instructions and
// after a search of the image-format plugins.
QImage DecodeUncompressedBmp(QByteArrayView file);

} // namespace koravel
