// The program as it runs (its window, Qt's message boxes, the real file layer)
// on an offscreen screen: puts PATH in the path box, picks Japan, Black swirl,
// PAL_M and German, clicks Patch, answers every message box with OK and prints
// it. Run under a preloaded library that makes system calls fail.
//
//   koravel_patch_driver PATH

#include "ui/qt/KoravelApp.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s PATH\n", argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    koravel::KoravelApp koravel;
    QWidget& window = koravel.Window();
    window.show();

    window.findChild<QLineEdit*>(QStringLiteral("txtFlash"))
        ->setText(QString::fromLocal8Bit(argv[1]));
    const auto pick = [&window](const char* list, const char* text) {
        window.findChild<QComboBox*>(QLatin1String(list))->setCurrentText(QString::fromUtf8(text));
    };
    pick("cboPatch1", "Japan");
    pick("cboPatch4", "Black swirl");
    pick("cboPatch2", "PAL_M");
    pick("cboPatch3", "German (Deutsch)");

    // Each box opens in a nested event loop that only a timer reaches.
    QPointer<QWidget> answered;
    QTimer answer;
    answer.setInterval(10);
    QObject::connect(&answer, &QTimer::timeout, [&answered] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible() || box == answered) {
            return;
        }
        answered = box;
        std::printf("message: %s: %s\n", box->windowTitle().toUtf8().constData(),
                    box->text().toUtf8().constData());
        std::fflush(stdout);
        box->button(QMessageBox::Ok)->click();
    });
    answer.start();
    // Nothing may hang a test run.
    QTimer::singleShot(30000, [] {
        std::fprintf(stderr, "gave up waiting\n");
        std::_Exit(3);
    });
    QTimer::singleShot(0, [&window, &app] {
        window.findChild<QPushButton*>(QStringLiteral("cmdPatch"))->click();
        app.quit();
    });
    return QApplication::exec();
}
