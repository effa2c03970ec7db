#pragma once

#include <QImageReader>
#include <QPixmap>

namespace koravel {

// A picture built into the program, read with Qt's own reader for its format
// (BMP or PNG), named outright: left to guess, Qt would load every
// image-format plugin to ask whether it reads the file before falling back to
// its own reader.
inline QPixmap BuiltInPicture(const QString& resource, const char* format = "bmp") {
    QImageReader reader(resource, format);
    reader.setAutoDetectImageFormat(false);
    return QPixmap::fromImage(reader.read());
}

} // namespace koravel
