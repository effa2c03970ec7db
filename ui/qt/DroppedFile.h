#pragma once

#include <QByteArray>
#include <QString>

class QMimeData;

namespace koravel {

// Whether a drag carries what the window takes: one file, as Select would
// take it from the Open dialog. Several files, a folder, a link or text are
// not taken, nor a file that cannot be reached from here.
bool CanTakeDrop(const QMimeData& data);

// What a drop the window took carries, kept past the drop event.
struct DroppedFile {
    QString path;           // as the file manager names it
    QByteArray transferKey; // the file transfer portal's key, where offered
};
DroppedFile ReadDrop(const QMimeData& data);

// The path under which the dropped file can be opened, or the empty text when
// it turns out to be no file. A file that this program cannot see by its own
// path (in a sandbox) is asked of the desktop's file transfer portal, which
// hands it over under the document portal, as the Open dialog's picks are.
QString TakeDroppedFile(const DroppedFile& drop);

} // namespace koravel
