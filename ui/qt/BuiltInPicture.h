#pragma once

#include <QImageReader>
#include <QPixmap>

namespace koravel {

// A BMP picture built into the program. Read with Qt's own BMP reader, named
// outright: left to guess, Qt would load every image-format plugin to ask
// whether it reads "bmp" before falling back to its own reader.
inline QPixmap BuiltInPicture(const QString& resource) {
    QImageReader reader(resource, "bmp");
    reader.setAutoDetectImageFormat(false);
    return QPixmap::fromImage(reader.read());
}

} // namespace koravel
