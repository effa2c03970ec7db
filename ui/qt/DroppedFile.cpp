#include "ui/qt/DroppedFile.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QFileInfo>
#include <QMimeData>
#include <QStringList>
#include <QUrl>

namespace koravel {
namespace {

// A file manager offers files as URIs, and where the desktop has the file
// transfer portal, also as the key of a transfer that a sandboxed program
// can redeem for the same files.
const QString TransferType = QStringLiteral("application/vnd.portal.filetransfer");

// The one local path a drag names, or the empty text.
QString OnePath(const QMimeData& data) {
    const QList<QUrl> urls = data.urls();
    if (urls.size() != 1 || !urls.front().isLocalFile()) {
        return {};
    }
    return urls.front().toLocalFile();
}

bool IsFile(const QString& path) {
    const QFileInfo info(path);
    return info.exists() && !info.isDir();
}

// The files of a transfer, under the document portal. The portal ends the
// transfer once they are retrieved, so this is asked once, at the drop.
QStringList RetrieveTransfer(const QByteArray& key) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.portal.Documents"),
        QStringLiteral("/org/freedesktop/portal/documents"),
        QStringLiteral("org.freedesktop.portal.FileTransfer"), QStringLiteral("RetrieveFiles"));
    // The key is text, ended by a NUL where GTK offers it.
    call << QString::fromUtf8(key.left(key.indexOf('\0') >= 0 ? key.indexOf('\0') : key.size()))
         << QVariantMap();
    const QDBusReply<QStringList> reply =
        QDBusConnection::sessionBus().call(call, QDBus::Block, 10000);
    return reply.isValid() ? reply.value() : QStringList();
}

} // namespace

bool CanTakeDrop(const QMimeData& data) {
    const QString path = OnePath(data);
    if (path.isEmpty()) {
        return false;
    }
    // A file not seen here is taken only through the portal; whether it is a
    // folder is known once it arrives.
    return IsFile(path) || (!QFileInfo::exists(path) && data.hasFormat(TransferType));
}

DroppedFile ReadDrop(const QMimeData& data) {
    DroppedFile drop{OnePath(data), {}};
    if (!drop.path.isEmpty() && !QFileInfo::exists(drop.path) && data.hasFormat(TransferType)) {
        drop.transferKey = data.data(TransferType);
    }
    return drop;
}

QString TakeDroppedFile(const DroppedFile& drop) {
    if (IsFile(drop.path)) {
        return drop.path;
    }
    if (drop.transferKey.isEmpty()) {
        return {};
    }
    const QStringList files = RetrieveTransfer(drop.transferKey);
    return files.size() == 1 && IsFile(files.front()) ? files.front() : QString();
}

} // namespace koravel
