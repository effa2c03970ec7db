#pragma once

#include "ui/qt/BitmapDecoder.h"

#include <QImageReader>
#include <QPixmap>
#include <QResource>

namespace koravel {

// A BMP picture built into the program. The plain ones are decoded directly;
// the others are read with Qt's own BMP reader, named outright: left to guess,
// Qt would load every image-format plugin to ask whether it reads "bmp" before
// falling back to its own reader.
inline QPixmap BuiltInPicture(const QString& resource) {
    const QResource file(resource);
    if (QImage image = DecodeUncompressedBmp(file.uncompressedData()); !image.isNull()) {
        return QPixmap::fromImage(std::move(image));
    }
    QImageReader reader(resource, "bmp");
    reader.setAutoDetectImageFormat(false);
    return QPixmap::fromImage(reader.read());
}

} // namespace koravel
