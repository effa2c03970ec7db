#include "platform/qt/QtOpenFileDialog.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

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

std::optional<QtOpenFileDialog::Refusal>
QtOpenFileDialog::Refuse(const QUrl& picked, const QUrl& shownFolder, std::uint32_t flags) {
    const auto tr = [](const char* text) {
        return QCoreApplication::translate("QtOpenFileDialog", text);
    };
    if (!picked.isLocalFile()) {
        // A network place the desktop's dialog browses (smb://, sftp://…)
        // has no path that the file layer can open.
        return Refusal{picked.toDisplayString() +
                           tr("\nThis file is not on this computer's file system.\n"
                              "Please copy it to a local folder and select the copy."),
                       shownFolder};
    }
    const QString path = picked.toLocalFile();
    const QFileInfo info(path);
    const QUrl itsFolder = QUrl::fromLocalFile(info.absolutePath());
    if ((flags & OFN_FILEMUSTEXIST) == 0 || info.isFile()) {
        return std::nullopt;
    }
    if (info.exists()) {
        return Refusal{path + tr("\nThis is not a file.\nPlease select a file."), itsFolder};
    }
    return Refusal{path + tr("\nFile not found.\nPlease verify the correct file name was given."),
                   itsFolder};
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
    // not at all: a pick that is not an existing local file cannot be
    // confirmed, so the person is told why and the dialog comes back, until
    // they pick a file or cancel.
    for (;;) {
        const QUrl shownFolder = dialog.directoryUrl();
        if (dialog.exec() != QDialog::Accepted || dialog.selectedUrls().isEmpty()) {
            break;
        }
        const QUrl picked = dialog.selectedUrls().constFirst();
        const std::optional<Refusal> refusal = Refuse(picked, shownFolder, flags);
        if (!refusal) {
            return QFile::encodeName(picked.toLocalFile()).toStdString();
        }
        QMessageBox::warning(owner_, dialog.windowTitle(), refusal->why);
        dialog.setDirectoryUrl(refusal->folder);
    }
    return std::nullopt;
}

} // namespace koravel
