#include "platform/qt/QtOpenFileDialog.h"

#include <QFile>
#include <QFileDialog>

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

std::optional<std::string> QtOpenFileDialog::Run(const std::string& title,
                                                 const std::vector<FileFilter>& filters,
                                                 std::uint32_t flags) {
    QFileDialog dialog(owner_, QString::fromStdString(title));
    dialog.setObjectName(QStringLiteral("KoravelOpenDialog"));
    // Qt's own dialog everywhere, so that the filters and the existing-file rule
    // behave the same on every desktop.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode((flags & OFN_FILEMUSTEXIST) != 0 ? QFileDialog::ExistingFile
                                                        : QFileDialog::AnyFile);
    dialog.setNameFilters(NameFilters(filters));
    dialog.setWindowModality(Qt::WindowModal);

    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return QFile::encodeName(dialog.selectedFiles().constFirst()).toStdString();
}

} // namespace koravel
