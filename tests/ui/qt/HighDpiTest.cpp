// The window on a scaled desktop (QT_SCALE_FACTOR), on a real X server: the
// preview shows the picture drawn for that scale, pixel for pixel, and the
// window manager is given the icon drawn for that scale.
#include "ui/qt/KoravelApp.h"

#include <QGuiApplication>
#include <QImageReader>
#include <QLabel>
#include <QTest>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

using namespace koravel;

namespace {

qreal ExpectedScale() {
    return qEnvironmentVariable("KORAVEL_EXPECTED_SCALE", QStringLiteral("1")).toDouble();
}

QImage Drawing(const QString& name, const char* format, QImage::Format as) {
    QImageReader reader(name, format);
    return reader.read().convertToFormat(as);
}

template <typename T> using XcbReply = std::unique_ptr<T, decltype(&std::free)>;

// The images of the window's _NET_WM_ICON property, as a window manager reads them.
QList<QImage> WindowManagerIcons(const QWidget& window) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr) {
        return {};
    }
    xcb_connection_t* connection = x11->connection();
    const char name[] = "_NET_WM_ICON";
    XcbReply<xcb_intern_atom_reply_t> atom(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 1, sizeof name - 1, name),
                              nullptr),
        &std::free);
    if (!atom) {
        return {};
    }
    XcbReply<xcb_get_property_reply_t> property(
        xcb_get_property_reply(connection,
                               xcb_get_property(connection, 0, xcb_window_t(window.winId()),
                                                atom->atom, XCB_ATOM_CARDINAL, 0, 1 << 20),
                               nullptr),
        &std::free);
    QList<QImage> icons;
    if (!property || property->format != 32) {
        return icons;
    }
    // Width, height, then width x height ARGB words, for each image in turn.
    const auto* words = static_cast<const quint32*>(xcb_get_property_value(property.get()));
    const int count = xcb_get_property_value_length(property.get()) / 4;
    for (int at = 0; at + 2 <= count;) {
        const int width = int(words[at]);
        const int height = int(words[at + 1]);
        at += 2;
        if (width <= 0 || height <= 0 || at + width * height > count) {
            break;
        }
        QImage icon(width, height, QImage::Format_ARGB32);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                icon.setPixel(x, y, words[at++]);
            }
        }
        icons.append(icon);
    }
    return icons;
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
        const QImage drawing = Drawing(QString::fromUtf8(file), "bmp", QImage::Format_RGB32);
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

    void theWindowManagerGetsTheIconDrawnForTitleBarsAndTaskListsAtTheScale() {
        KoravelApp app;
        app.Window().show();
        QVERIFY(QTest::qWaitForWindowExposed(&app.Window()));
        // 16 and 32 pixels at 96 dpi.
        const QList<int> sizes{qRound(16 * ExpectedScale()), qRound(32 * ExpectedScale())};
        const QList<QImage> icons = WindowManagerIcons(app.Window());
        QCOMPARE(icons.size(), 2);
        for (const QImage& icon : icons) {
            const int size = icon.width();
            QVERIFY2(sizes.contains(size), qPrintable(QStringLiteral("icon of %1 px").arg(size)));
            const QImage drawing =
                Drawing(size == 32 ? QStringLiteral(":/assets/swirl_icon.bmp")
                                   : QStringLiteral(":/assets/swirl_icon_%1.bmp").arg(size),
                        "bmp", QImage::Format_ARGB32);
            QCOMPARE(icon, drawing);
        }
        QVERIFY(icons[0].width() != icons[1].width());
    }
};

QTEST_MAIN(HighDpiTest)
#include "HighDpiTest.moc"
