// The window on a scaled desktop (QT_SCALE_FACTOR), on a real X server: the
// preview shows the picture drawn for that scale, pixel for pixel.
#include "ui/qt/KoravelApp.h"
#include "ui/qt/SwirlPictures.h"

#include <QImageReader>
#include <QLabel>
#include <QTest>

using namespace koravel;

namespace {

qreal ExpectedScale() {
    return qEnvironmentVariable("KORAVEL_EXPECTED_SCALE", QStringLiteral("1")).toDouble();
}

QImage Drawing(const char* name) {
    QImageReader reader(QString::fromUtf8(name), "bmp");
    return reader.read().convertToFormat(QImage::Format_RGB32);
}

} // namespace

class HighDpiTest : public QObject {
    Q_OBJECT

  private slots:
    void theWindowKeepsItsLayoutInLogicalPixels() {
        KoravelApp app;
        app.Window().show();
        QVERIFY(QTest::qWaitForWindowExposed(&app.Window()));
        QCOMPARE(app.Window().devicePixelRatioF(), ExpectedScale());
        QCOMPARE(app.Window().size(), QSize(250, 281));
        auto* red = app.Window().findChild<QLabel*>(QStringLiteral("picPatchRed"));
        QCOMPARE(red->geometry(), QRect(48, 8, 154, 120));
    }

    void thePreviewShowsThePictureDrawnForTheScalePixelForPixel() {
        KoravelApp app;
        app.Window().show();
        QVERIFY(QTest::qWaitForWindowExposed(&app.Window()));
        const qreal scale = ExpectedScale();
        const char* file = scale == 2.0   ? ":/assets/swirl_red@2x.bmp"
                           : scale == 1.5 ? ":/assets/swirl_red@1.5x.bmp"
                                          : ":/assets/swirl_red.bmp";
        const QImage drawing = Drawing(file);
        auto* red = app.Window().findChild<QLabel*>(QStringLiteral("picPatchRed"));
        QCOMPARE(red->pixmap().size(), drawing.size());
        QCOMPARE(red->pixmap().devicePixelRatio(), scale);

        // What the label paints inside its 2-pixel edge, in device pixels.
        const QImage shown =
            red->grab(red->contentsRect()).toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shown.size(), drawing.size());
        int differing = 0;
        for (int y = 0; y < drawing.height(); ++y) {
            for (int x = 0; x < drawing.width(); ++x) {
                differing += shown.pixel(x, y) != drawing.pixel(x, y) ? 1 : 0;
            }
        }
        QCOMPARE(differing, 0);
    }

    void theIconComesInTheSizesADesktopAsksFor() {
        const QIcon icon = KoravelIcon();
        for (int size : {16, 24, 32, 48, 64, 128, 256}) {
            QCOMPARE(icon.pixmap(QSize(size, size), 1.0).size(), QSize(size, size));
        }
        QVERIFY(icon.availableSizes().contains(QSize(256, 256)));
    }
};

QTEST_MAIN(HighDpiTest)
#include "HighDpiTest.moc"
