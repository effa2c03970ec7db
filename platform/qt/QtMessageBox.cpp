#include "platform/qt/QtMessageBox.h"

#include <QMessageBox>

namespace koravel {
namespace {

QMessageBox::Icon ToQtIcon(MsgIcon icon) {
    switch (icon) {
    case MsgIcon::Critical:
        return QMessageBox::Critical;
    case MsgIcon::Warning:
        return QMessageBox::Warning;
    case MsgIcon::Information:
        return QMessageBox::Information;
    }
    return QMessageBox::NoIcon;
}

} // namespace

void QtMessageBox::Show(const std::string& prompt, MsgIcon icon, const std::string& title) {
    QString text = QString::fromStdString(prompt);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));

    QMessageBox box(ToQtIcon(icon), QString::fromStdString(title), text, QMessageBox::Ok, owner_);
    box.setObjectName(QStringLiteral("KoravelMessageBox"));
    // Prompts carry file names: never let them be read as markup.
    box.setTextFormat(Qt::PlainText);
    // The text can be selected and copied, to look an error up or pass it on.
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    box.setWindowModality(Qt::WindowModal);
    box.exec();
}

} // namespace koravel
