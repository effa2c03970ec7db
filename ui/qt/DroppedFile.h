#pragma once

#include <QString>

class QMimeData;

namespace koravel {

// The one local file a drag carries, as Select would take it from the Open
// dialog; the empty text when the drag carries anything else (several files,
// a folder, a link, text), which the window does not take.
QString DroppableFile(const QMimeData& data);

} // namespace koravel
