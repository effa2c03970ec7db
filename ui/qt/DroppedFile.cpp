#include "ui/qt/DroppedFile.h"

#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

namespace koravel {

QString DroppableFile(const QMimeData& data) {
    // A file manager offers files as URIs. Inside a sandbox they arrive as
    // paths under the document portal's mount, local like any other.
    const QList<QUrl> urls = data.urls();
    if (urls.size() != 1 || !urls.front().isLocalFile()) {
        return {};
    }
    const QString path = urls.front().toLocalFile();
    // A file that is gone by now is taken, so that Select's own message says
    // what became of it; a folder never is.
    if (path.isEmpty() || QFileInfo(path).isDir()) {
        return {};
    }
    return path;
}

} // namespace koravel
