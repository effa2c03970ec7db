#include "ui/qt/SwirlPictures.h"

#include "ui/PictureDrawings.h"
#include "ui/qt/BuiltInPicture.h"

#include <array>

namespace koravel {
namespace {

QString BaseName(PictureBox picture) {
    switch (picture) {
    case PictureBox::picPatchRed:
        return QStringLiteral(":/assets/swirl_red");
    case PictureBox::picPatchBlue:
        return QStringLiteral(":/assets/swirl_blue");
    case PictureBox::picPatchBlack:
        return QStringLiteral(":/assets/swirl_black");
    }
    return QStringLiteral(":/assets/swirl_red");
}

} // namespace

qreal PictureScale(qreal devicePixelRatio) {
    return kPictureScales[PictureDrawingFor(devicePixelRatio)];
}

QPixmap SwirlPicture(PictureBox picture, qreal devicePixelRatio) {
    static const std::array<QString, 3> suffixes{
        QStringLiteral(".bmp"), QStringLiteral("@1.5x.bmp"), QStringLiteral("@2x.bmp")};
    const std::size_t drawing = PictureDrawingFor(devicePixelRatio);
    QPixmap pixmap = BuiltInPicture(BaseName(picture) + suffixes[drawing]);
    pixmap.setDevicePixelRatio(kPictureScales[drawing]); // shown at 150 x 116 logical pixels
    return pixmap;
}

QIcon KoravelIcon() {
    // The 32 x 32 swirl icon of the program, and the desktop's drawings of it
    // at the other sizes; each is read only when it is asked for.
    QIcon icon(BuiltInPicture(QStringLiteral(":/assets/swirl_icon.bmp")));
    for (int size : {16, 24, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/assets/hicolor/%1x%1/koravel.png").arg(size),
                     QSize(size, size));
    }
    return icon;
}

} // namespace koravel
