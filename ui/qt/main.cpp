#include "ui/qt/BuiltInPicture.h"
#include "ui/qt/KoravelApp.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Koravel"));
    QApplication::setApplicationVersion(QStringLiteral("0.3"));
    QApplication::setDesktopFileName(QStringLiteral("io.github.koravel.Koravel"));
    QApplication::setWindowIcon(
        QIcon(koravel::BuiltInPicture(QStringLiteral(":/assets/swirl_icon.bmp"))));

    koravel::KoravelApp koravel;
    koravel.Window().CentreOnScreen();
    koravel.Window().show();
    return QApplication::exec();
}
