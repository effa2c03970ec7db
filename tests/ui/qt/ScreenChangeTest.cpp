// The window moved between a 96-dpi screen and one at twice the density (two
// off-screen screens, two-screens.json, the second scaled 2x by
// QT_SCREEN_SCALE_FACTORS): each picture is read in the drawing for the
// window's screen when it is shown, and the window icon follows.
#include "ui/qt/KoravelApp.h"

#include <QGuiApplication>
#include <QImageReader>
#include <QLabel>
#include <QScreen>
#include <QTest>

using namespace koravel;

namespace {

QImage Drawing(const QString& name) {
    QImageReader reader(name, "bmp");
    return reader.read().convertToFormat(QImage::Format_RGB32);
}

QImage Shown(const QLabel* picture) {
    return picture->pixmap().toImage().convertToFormat(QImage::Format_RGB32);
}

QScreen* ScreenNamed(const char* name) {
    for (QScreen* screen : QGuiApplication::screens()) {
        if (screen->name() == QLatin1String(name)) {
            return screen;
        }
    }
    return nullptr;
}

// Moves the window into the middle of the screen and waits until Qt has
// placed it there.
bool MoveTo(frmMain& window, QScreen* screen) {
    window.move(screen->geometry().center() - QPoint(125, 140));
    return QTest::qWaitFor([&] { return window.screen() == screen; });
}

} // namespace

class ScreenChangeTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        if (ScreenNamed("plain") == nullptr || ScreenNamed("dense") == nullptr) {
            QSKIP("needs the off-screen platform with two-screens.json "
                  "(QT_QPA_PLATFORM=offscreen:configfile=...)");
        }
        if (ScreenNamed("plain")->devicePixelRatio() != 1.0 ||
            ScreenNamed("dense")->devicePixelRatio() != 2.0) {
            QSKIP("needs the screens scaled 1x and 2x (QT_SCREEN_SCALE_FACTORS=plain=1;dense=2)");
        }
    }

    void picturesAndIconFollowTheWindowsScreen() {
        KoravelApp app;
        frmMain& window = app.Window();
        auto* red = window.findChild<QLabel*>(QStringLiteral("picPatchRed"));
        auto* blue = window.findChild<QLabel*>(QStringLiteral("picPatchBlue"));
        auto* black = window.findChild<QLabel*>(QStringLiteral("picPatchBlack"));
        QVERIFY(MoveTo(window, ScreenNamed("plain")));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.devicePixelRatioF(), 1.0);
        QCOMPARE(Shown(red), Drawing(QStringLiteral(":/assets/swirl_red.bmp")));
        // Hidden pictures are not read until they are shown.
        QVERIFY(blue->pixmap().isNull());
        QVERIFY(black->pixmap().isNull());
        QCOMPARE(window.windowIcon().availableSizes(), (QList<QSize>{{16, 16}, {32, 32}}));
        QCOMPARE(window.windowIcon().pixmap(QSize(32, 32), 1.0).size(), QSize(32, 32));

        QVERIFY(MoveTo(window, ScreenNamed("dense")));
        QCOMPARE(window.devicePixelRatioF(), 2.0);
        QCOMPARE(red->pixmap().devicePixelRatio(), 2.0);
        QCOMPARE(Shown(red), Drawing(QStringLiteral(":/assets/swirl_red@2x.bmp")));
        QVERIFY(blue->pixmap().isNull());
        // The window icon now holds the 32- and 64-pixel drawings.
        QCOMPARE(window.windowIcon().pixmap(QSize(16, 16), 2.0).size(), QSize(32, 32));
        QCOMPARE(window.windowIcon().pixmap(QSize(32, 32), 2.0).size(), QSize(64, 64));

        // A picture first shown on the dense screen is read in its 2x drawing.
        window.SetPictureVisible(PictureBox::picPatchRed, false);
        window.SetPictureVisible(PictureBox::picPatchBlue, true);
        QCOMPARE(blue->pixmap().devicePixelRatio(), 2.0);
        QCOMPARE(Shown(blue), Drawing(QStringLiteral(":/assets/swirl_blue@2x.bmp")));
        QCOMPARE(blue->contentsRect().size(), QSize(150, 116));

        // Back on the plain screen the shown picture returns to 1x; the red one,
        // hidden, changes when it is shown again.
        QVERIFY(MoveTo(window, ScreenNamed("plain")));
        QCOMPARE(Shown(blue), Drawing(QStringLiteral(":/assets/swirl_blue.bmp")));
        QCOMPARE(red->pixmap().devicePixelRatio(), 2.0);
        window.SetPictureVisible(PictureBox::picPatchRed, true);
        QCOMPARE(Shown(red), Drawing(QStringLiteral(":/assets/swirl_red.bmp")));
        QCOMPARE(window.windowIcon().pixmap(QSize(32, 32), 1.0).size(), QSize(32, 32));
    }
};

QTEST_MAIN(ScreenChangeTest)
#include "ScreenChangeTest.moc"
