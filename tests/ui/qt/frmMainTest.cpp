#include "ui/qt/frmMain.h"
#include "platform/modCommonDialog.h"
#include "platform/posix/PosixFileLayer.h"
#include "tests/support/Fakes.h"
#include "tests/support/FlashImage.h"
#include "ui/FormHandlers.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QUrl>

using namespace koravel;

namespace {

// The window as the program builds it, with the dialog and the message boxes
// replaced by recorders.
struct Harness {
    Harness() {
        window.Connect(handlers);
        handlers.Form_Load();
    }
    template <typename T> T* Control(const char* name) {
        return window.findChild<T*>(QLatin1String(name));
    }
    std::vector<QWidget*> VisiblePictures() {
        std::vector<QWidget*> shown;
        for (const char* name : {"picPatchRed", "picPatchBlue", "picPatchBlack"}) {
            if (Control<QLabel>(name)->isVisibleTo(&window)) {
                shown.push_back(Control<QLabel>(name));
            }
        }
        return shown;
    }

    PosixFileLayer files;
    frmMain window;
    testing::RecordingMessageBox messages;
    testing::ScriptedOpenDialog dialog;
    modCommonDialog dialogs{dialog, messages};
    FormHandlers handlers{window, files, messages, dialogs};
};

// Offers a drag to the widget at a point of the window, as Qt does when the
// pointer enters it, and drops it there when the widget takes it. Says
// whether the drag was taken.
bool DragAndDrop(frmMain& window, QPoint at, QMimeData& data) {
    QWidget* target = window.childAt(at) ? window.childAt(at) : &window;
    while (!target->acceptDrops() && target != &window) {
        target = target->parentWidget();
    }
    if (!target->acceptDrops()) {
        return false;
    }
    const QPoint local = target->mapFrom(&window, at);
    QDragEnterEvent enter(local, Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, &data,
                          Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) {
        return false;
    }
    QDropEvent drop(QPointF(local), enter.dropAction(), &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    QCoreApplication::processEvents();
    return drop.isAccepted();
}

QStringList Items(QComboBox* list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i) {
        items << list->itemText(i);
    }
    return items;
}

} // namespace

class frmMainTest : public QObject {
    Q_OBJECT

  private slots:
    void windowIsFixedWithTitleAndCloseBoxOnly() {
        Harness h;
        QCOMPARE(h.window.windowTitle(), QStringLiteral("Koravel v0.3"));
        QCOMPARE(h.window.minimumSize(), QSize(250, 281));
        QCOMPARE(h.window.maximumSize(), QSize(250, 281));
        const Qt::WindowFlags flags = h.window.windowFlags();
        QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(flags.testFlag(Qt::WindowTitleHint));
        QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    }

    void controlsHaveTheirKindsAndPlaces() {
        Harness h;
        const struct {
            const char* name;
            QRect geometry;
        } places[] = {
            {"cboPatch4", {128, 168, 113, 21}}, {"cboPatch3", {8, 216, 233, 21}},
            {"cboPatch2", {8, 192, 233, 21}},   {"cmdPatch", {8, 248, 233, 25}},
            {"cboPatch1", {8, 168, 113, 21}},   {"cmdFlash", {200, 136, 41, 21}},
            {"txtFlash", {8, 136, 185, 21}},    {"picPatchBlack", {48, 8, 154, 120}},
            {"picPatchRed", {48, 8, 154, 120}}, {"picPatchBlue", {48, 8, 154, 120}},
        };
        for (const auto& place : places) {
            QWidget* control = h.Control<QWidget>(place.name);
            QVERIFY2(control != nullptr, place.name);
            QCOMPARE(control->geometry(), place.geometry);
            QVERIFY(control->isEnabled());
        }
        QCOMPARE(h.Control<QPushButton>("cmdFlash")->text(), QStringLiteral("Select"));
        QCOMPARE(h.Control<QPushButton>("cmdPatch")->text(), QStringLiteral("Patch"));
        QVERIFY(!h.Control<QPushButton>("cmdPatch")->isDefault());
        QVERIFY(!h.Control<QPushButton>("cmdFlash")->autoDefault());
        QVERIFY(h.Control<QLineEdit>("txtFlash")->text().isEmpty());
        for (PictureBox which :
             {PictureBox::picPatchRed, PictureBox::picPatchBlue, PictureBox::picPatchBlack}) {
            QLabel* picture = h.window.Picture(which);
            QCOMPARE(picture->frameWidth(), 2);
            h.window.SetPictureVisible(which, true); // read when first shown
            QCOMPARE(picture->pixmap().size(), QSize(150, 116));
        }
    }

    void listsHoldTheirItemsInOrderAndArePickOnly() {
        Harness h;
        QCOMPARE(Items(h.Control<QComboBox>("cboPatch1")), (QStringList{"Japan", "USA", "Europe"}));
        QCOMPARE(Items(h.Control<QComboBox>("cboPatch4")),
                 (QStringList{"default swirl", "Black swirl"}));
        QCOMPARE(Items(h.Control<QComboBox>("cboPatch2")),
                 (QStringList{"NTSC", "PAL", "PAL_M", "PAL_N"}));
        QCOMPARE(
            Items(h.Control<QComboBox>("cboPatch3")),
            (QStringList{"Japanese", "English", "German (Deutsch)",
                         QString::fromUtf8("French (Fran\xC3\xA7"
                                           "ais)"),
                         QString::fromUtf8("Spanish (Espa\xC3\xB1ol)"), "Italian (Italiano)"}));
        for (const char* name : {"cboPatch1", "cboPatch2", "cboPatch3", "cboPatch4"}) {
            QVERIFY(!h.Control<QComboBox>(name)->isEditable());
        }
    }

    void loadSetsTheDefaultsAndShowsOnlyTheRedSwirl() {
        frmMain bare;
        QCOMPARE(bare.findChild<QComboBox*>("cboPatch1")->currentIndex(), -1);
        Harness h;
        QCOMPARE(h.Control<QComboBox>("cboPatch1")->currentText(), QStringLiteral("USA"));
        QCOMPARE(h.Control<QComboBox>("cboPatch2")->currentText(), QStringLiteral("NTSC"));
        QCOMPARE(h.Control<QComboBox>("cboPatch3")->currentText(), QStringLiteral("English"));
        QCOMPARE(h.Control<QComboBox>("cboPatch4")->currentText(), QStringLiteral("default swirl"));
        QCOMPARE(h.VisiblePictures(), std::vector<QWidget*>{h.Control<QWidget>("picPatchRed")});
        // Only the shown picture has been read.
        QCOMPARE(h.Control<QLabel>("picPatchRed")->pixmap().size(), QSize(150, 116));
        QVERIFY(h.Control<QLabel>("picPatchBlue")->pixmap().isNull());
        QVERIFY(h.Control<QLabel>("picPatchBlack")->pixmap().isNull());
    }

    void theWindowIconHoldsTheTitleBarAndTaskListDrawings() {
        Harness h;
        const QIcon icon = h.window.windowIcon();
        QCOMPARE(icon.availableSizes(), (QList<QSize>{{16, 16}, {32, 32}}));
        for (int size : {16, 32}) {
            QCOMPARE(icon.pixmap(QSize(size, size), 1.0).size(), QSize(size, size));
        }
        // Never larger than asked, and the nearer drawing for sizes between.
        QCOMPARE(icon.pixmap(QSize(24, 24), 1.0).size(), QSize(24, 24));
        QCOMPARE(icon.pixmap(QSize(8, 8), 1.0).size(), QSize(8, 8));
        QCOMPARE(icon.pixmap(QSize(64, 64), 1.0).size(), QSize(32, 32));
    }

    void focusMovesInTabIndexOrderSkippingHiddenPictures() {
        Harness h;
        h.window.show();
        QVERIFY(QTest::qWaitForWindowActive(&h.window));
        QCOMPARE(QApplication::focusWidget(), h.Control<QWidget>("picPatchRed"));
        const QStringList expected{"txtFlash",  "cmdFlash",  "cboPatch1", "cmdPatch",
                                   "cboPatch2", "cboPatch3", "cboPatch4", "picPatchRed"};
        for (const QString& name : expected) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget()->objectName(), name);
        }
        // With the black swirl shown, its picture takes the red one's turn.
        h.window.SetPictureVisible(PictureBox::picPatchRed, false);
        h.window.SetPictureVisible(PictureBox::picPatchBlack, true);
        h.Control<QWidget>("cmdPatch")->setFocus();
        QTest::keyClick(h.Control<QWidget>("cmdPatch"), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("picPatchBlack"));
    }

    void pickingRegionOrSwirlRunsThePreviewRule() {
        Harness h;
        h.window.show();
        QVERIFY(QTest::qWaitForWindowActive(&h.window));
        QComboBox* region = h.Control<QComboBox>("cboPatch1");
        QComboBox* swirl = h.Control<QComboBox>("cboPatch4");

        QTest::keyClick(region, Qt::Key_Down); // USA -> Europe
        QCOMPARE(region->currentText(), QStringLiteral("Europe"));
        QCOMPARE(h.VisiblePictures(), std::vector<QWidget*>{h.Control<QWidget>("picPatchBlue")});

        QTest::keyClick(swirl, Qt::Key_Down); // default -> Black
        QCOMPARE(h.VisiblePictures(), std::vector<QWidget*>{h.Control<QWidget>("picPatchBlack")});

        QTest::keyClick(region, Qt::Key_Up); // Europe -> USA, still black
        QCOMPARE(h.VisiblePictures(), std::vector<QWidget*>{h.Control<QWidget>("picPatchBlack")});

        QTest::keyClick(swirl, Qt::Key_Up);
        QCOMPARE(h.VisiblePictures(), std::vector<QWidget*>{h.Control<QWidget>("picPatchRed")});

        // Broadcast and language change nothing else.
        QTest::keyClick(h.Control<QComboBox>("cboPatch2"), Qt::Key_Down);
        QTest::keyClick(h.Control<QComboBox>("cboPatch3"), Qt::Key_Down);
        QCOMPARE(region->currentText(), QStringLiteral("USA"));
        QCOMPARE(h.VisiblePictures(), std::vector<QWidget*>{h.Control<QWidget>("picPatchRed")});
        QVERIFY(h.messages.shown.empty());
    }

    void selectAndPatchThroughTheButtons() {
        Harness h;
        h.window.show();
        QVERIFY(QTest::qWaitForWindowActive(&h.window));
        testing::TempFile file(testing::MakeFlashImage('Z', '2', '1'));

        h.dialog.answers.push_back(file.Path().string());
        QTest::mouseClick(h.Control<QPushButton>("cmdFlash"), Qt::LeftButton);
        QCOMPARE(h.Control<QLineEdit>("txtFlash")->text(), QString::fromStdString(file.Path()));
        QCOMPARE(h.Control<QComboBox>("cboPatch1")->currentText(), QStringLiteral("Europe"));
        QCOMPARE(h.Control<QComboBox>("cboPatch4")->currentText(), QStringLiteral("Black swirl"));
        QCOMPARE(h.Control<QComboBox>("cboPatch2")->currentText(), QStringLiteral("PAL"));
        QCOMPARE(h.Control<QComboBox>("cboPatch3")->currentText(),
                 QStringLiteral("German (Deutsch)"));
        QCOMPARE(h.VisiblePictures(), std::vector<QWidget*>{h.Control<QWidget>("picPatchBlack")});

        QTest::keyClick(h.Control<QComboBox>("cboPatch4"), Qt::Key_Up); // default swirl
        QCOMPARE(h.VisiblePictures(), std::vector<QWidget*>{h.Control<QWidget>("picPatchBlue")});
        QTest::mouseClick(h.Control<QPushButton>("cmdPatch"), Qt::LeftButton);
        QCOMPARE(h.messages.shown.size(), std::size_t{1});
        QCOMPARE(h.messages.shown[0].prompt,
                 std::string("Your flash file was patched successfully."));
        const testing::Bytes after = file.Read();
        QCOMPARE(after[0x1A002], std::uint8_t{'2'});
        QCOMPARE(after[0x1A0A2], std::uint8_t{'2'});
    }

    // One local file dropped anywhere on the window is taken as Select takes a
    // picked one; anything else is refused before it is dropped and changes nothing.
    void aDroppedFileIsSelectedAndNothingElseIsTaken() {
        Harness h;
        h.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&h.window));
        testing::TempFile file(testing::MakeFlashImage('Z', '2', '1'));
        testing::TempFile other(testing::MakeFlashImage('0', '0', '0'));
        const QString path = QString::fromStdString(file.Path());
        auto* txtFlash = h.Control<QLineEdit>("txtFlash");
        auto* region = h.Control<QComboBox>("cboPatch1");

        const auto offer = [](const QList<QUrl>& urls, const QString& text = {}) {
            auto* data = new QMimeData;
            if (!urls.isEmpty()) {
                data->setUrls(urls);
            }
            if (!text.isEmpty()) {
                data->setText(text);
            }
            return std::unique_ptr<QMimeData>(data);
        };
        const QPoint onPathBox = txtFlash->geometry().center();
        const QPoint onPicture(100, 60);
        std::vector<std::pair<QString, std::unique_ptr<QMimeData>>> refused;
        refused.emplace_back("two files",
                             offer({QUrl::fromLocalFile(path),
                                    QUrl::fromLocalFile(QString::fromStdString(other.Path()))}));
        refused.emplace_back("a folder", offer({QUrl::fromLocalFile(QDir::tempPath())}));
        refused.emplace_back("a link", offer({QUrl("https://example.org/flash.bin")}));
        // Not seen from here, and not handed over by the file transfer portal.
        refused.emplace_back("a file that is gone",
                             offer({QUrl::fromLocalFile(path + QStringLiteral(".gone"))}));
        refused.emplace_back("text", offer({}, QStringLiteral("/tmp/flash.bin")));
        for (const auto& [what, data] : refused) {
            for (const QPoint at : {onPathBox, onPicture}) {
                QVERIFY2(!DragAndDrop(h.window, at, *data), qPrintable(what));
            }
            QVERIFY2(txtFlash->text().isEmpty(), qPrintable(what));
        }

        auto one = offer({QUrl::fromLocalFile(path)}, path);
        QVERIFY(DragAndDrop(h.window, onPathBox, *one));
        QCOMPARE(txtFlash->text(), path);
        QCOMPARE(region->currentText(), QStringLiteral("Europe"));
        QCOMPARE(h.VisiblePictures(), std::vector<QWidget*>{h.Control<QWidget>("picPatchBlack")});
        QVERIFY(h.dialog.titles.empty());
        QVERIFY(h.messages.shown.empty());
    }
};

QTEST_MAIN(frmMainTest)
#include "frmMainTest.moc"
