#include "ui/qt/DesktopPlatform.h"
#include "ui/qt/KoravelApp.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    koravel::ChooseDesktopPlatform(argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Koravel"));
    QApplication::setApplicationVersion(QStringLiteral("0.3"));
    QApplication::setDesktopFileName(QStringLiteral("io.github.koravel.Koravel"));

    koravel::KoravelApp koravel;
    koravel.Window().CentreOnScreen();
    koravel.Window().show();
    return QApplication::exec();
}
