#include "ui/qt/KoravelApp.h"
#include "ui/qt/SwirlPictures.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Koravel"));
    QApplication::setApplicationVersion(QStringLiteral("0.3"));
    QApplication::setDesktopFileName(QStringLiteral("io.github.koravel.Koravel"));
    QApplication::setWindowIcon(koravel::KoravelIcon());

    koravel::KoravelApp koravel;
    koravel.Window().CentreOnScreen();
    koravel.Window().show();
    return QApplication::exec();
}
