#include "platform/qt/QtOpenFileDialog.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>

namespace koravel {

QStringList QtOpenFileDialog::NameFilters(const std::vector<FileFilter>& filters) {
    QStringList names;
    for (const FileFilter& filter : filters) {
        QString description = QString::fromStdString(filter.description);
        const QString pattern = QString::fromStdString(filter.pattern);
        // The dialog reads the patterns from the parentheses that end the text.
        const QString shownPattern = QStringLiteral(" (") + pattern + QLatin1Char(')');
        if (description.endsWith(shownPattern)) {
            description.chop(shownPattern.size());
        }
        // "*.*" means every file; taken literally it would hide names without a dot.
        const QString matched = pattern == QLatin1String("*.*") ? QStringLiteral("*") : pattern;
        names << description + QStringLiteral(" (") + matched + QLatin1Char(')');
    }
    return names;
}

bool QtOpenFileDialog::Confirmable(const QString& path, std::uint32_t flags) {
    if (path.isEmpty()) {
        return false; // a file outside the local file system, which has no path here
    }
    return (flags & OFN_FILEMUSTEXIST) == 0 || QFileInfo(path).isFile();
}

std::optional<std::string> QtOpenFileDialog::Run(const std::string& title,
                                                 const std::vector<FileFilter>& filters,
                                                 std::uint32_t flags) {
    // The desktop's own dialog where it has one (GNOME's through the portal,
    // KDE's through its platform theme), Qt's elsewhere.
    QFileDialog dialog(owner_, QString::fromStdString(title));
    dialog.setObjectName(QStringLiteral("KoravelOpenDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode((flags & OFN_FILEMUSTEXIST) != 0 ? QFileDialog::ExistingFile
                                                        : QFileDialog::AnyFile);
    dialog.setNameFilters(NameFilters(filters));
    dialog.setWindowModality(Qt::WindowModal);

    // A desktop's dialog enforces the existing-file rule in its own way, or
    // not at all: a name that is not an existing file cannot be confirmed, so
    // the dialog comes back, in that name's folder, until the user picks a
    // file or cancels.
    while (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        const QString picked = dialog.selectedFiles().constFirst();
        if (Confirmable(picked, flags)) {
            return QFile::encodeName(picked).toStdString();
        }
        if (!picked.isEmpty()) {
            dialog.setDirectory(QFileInfo(picked).absolutePath());
        }
    }
    return std::nullopt;
}

} // namespace koravel
