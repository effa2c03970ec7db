#pragma once

#include "ui/FormView.h"

#include <QIcon>
#include <QPixmap>

namespace koravel {

// A swirl picture built into the program, in the drawing that suits a screen
// of the given device pixel ratio (PictureDrawingFor).
QPixmap SwirlPicture(PictureBox picture, qreal devicePixelRatio);

// The drawing's scale that SwirlPicture takes for a device pixel ratio.
qreal PictureScale(qreal devicePixelRatio);

// The window's icon for a screen of the given device pixel ratio: the
// drawings at 16 and 32 pixels times PictureScale.
QIcon KoravelIcon(qreal devicePixelRatio);

} // namespace koravel
