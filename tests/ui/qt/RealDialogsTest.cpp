// The program as it runs, with Qt's own file dialog and message boxes, driven
// from timers while they are open, as a user would answer them.
#include "tests/support/FlashImage.h"
#include "ui/qt/KoravelApp.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <filesystem>
#include <functional>

using namespace koravel;

namespace {

// Answers the next `count` modal dialogs to open with `answer`. It polls, as
// each opens inside a nested event loop that only a timer reaches. A dialog
// still open a while after its answer (the file dialog may not have taken a
// path it was still loading) is answered again.
class ModalAnswer {
  public:
    explicit ModalAnswer(std::function<void(QWidget*)> answer, int count = 1)
        : answer_(std::move(answer)), count_(count) {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal == nullptr || !modal->isVisible()) {
                return;
            }
            if (modal == last_) {
                if (++ticksOnLast_ < 20) {
                    return;
                }
            } else if (distinct_ == count_) {
                return;
            } else {
                ++distinct_;
            }
            last_ = modal;
            ticksOnLast_ = 0;
            ++answered_;
            answer_(modal);
        });
        timer_.start();
    }
    bool Answered() const { return answered_ > 0; }
    int Count() const { return answered_; }

  private:
    std::function<void(QWidget*)> answer_;
    int count_;
    int distinct_ = 0;
    QTimer timer_;
    QPointer<QWidget> last_;
    int ticksOnLast_ = 0;
    int answered_ = 0;
};

// Names a file in the dialog's file name box and confirms it, as Open does.
void ChooseFile(QWidget* modal, const std::filesystem::path& path) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    QVERIFY(dialog != nullptr);
    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    QVERIFY(name != nullptr);
    name->setText(QString::fromStdString(path.string()));
    static_cast<QDialog*>(dialog)->accept();
}

template <typename T> T* Control(QWidget& window, const char* name) {
    return window.findChild<T*>(QLatin1String(name));
}

} // namespace

class RealDialogsTest : public QObject {
    Q_OBJECT

  private slots:
    void selectThroughTheFileDialogAndPatchWithTheRealMessageBox() {
        KoravelApp app;
        frmMain& window = app.Window();
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        testing::TempFile file(testing::MakeFlashImage('2', '5', '1'),
                               "my flash \xC3\xA9t\xC3\xA9.bin");
        const QString path = QString::fromStdString(file.Path().string());

        QStringList filters;
        bool mustExist = false;
        QWidget* owner = nullptr;
        ModalAnswer pick([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            QVERIFY(dialog != nullptr);
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Open"));
            filters = dialog->nameFilters();
            mustExist = dialog->fileMode() == QFileDialog::ExistingFile;
            owner = dialog->parentWidget();
            ChooseFile(dialog, file.Path());
        });
        QTest::mouseClick(Control<QPushButton>(window, "cmdFlash"), Qt::LeftButton);
        QVERIFY(pick.Answered());
        QCOMPARE(filters, (QStringList{"Dreamcast flash (*.bin)", "All files (*)"}));
        QVERIFY(mustExist);
        QCOMPARE(owner, &window);
        QCOMPARE(Control<QLineEdit>(window, "txtFlash")->text(), path);
        QCOMPARE(Control<QComboBox>(window, "cboPatch1")->currentText(), QStringLiteral("Europe"));
        QCOMPARE(Control<QComboBox>(window, "cboPatch3")->currentText(),
                 QStringLiteral("Italian (Italiano)"));
        QVERIFY(Control<QLabel>(window, "picPatchBlue")->isVisible());

        QString text, title;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons buttons;
        ModalAnswer dismiss([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box != nullptr);
            text = box->text();
            title = box->windowTitle();
            icon = box->icon();
            buttons = box->standardButtons();
            QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
        });
        QTest::mouseClick(Control<QPushButton>(window, "cmdPatch"), Qt::LeftButton);
        QVERIFY(dismiss.Answered());
        QCOMPARE(text, QStringLiteral("Your flash file was patched successfully."));
        QCOMPARE(title, QStringLiteral("Information"));
        QCOMPARE(icon, QMessageBox::Information);
        QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(file.Read()[0x1A0A3], std::uint8_t{'5'});
    }

    void cancellingTheDialogChangesNothing() {
        KoravelApp app;
        frmMain& window = app.Window();
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        Control<QLineEdit>(window, "txtFlash")->setText(QStringLiteral("/earlier.bin"));
        ModalAnswer cancel([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
        QTest::mouseClick(Control<QPushButton>(window, "cmdFlash"), Qt::LeftButton);
        QVERIFY(cancel.Answered());
        QCOMPARE(Control<QLineEdit>(window, "txtFlash")->text(), QStringLiteral("/earlier.bin"));
        QCOMPARE(Control<QComboBox>(window, "cboPatch1")->currentText(), QStringLiteral("USA"));
    }

    void warningsComeAsRealMessageBoxesInOrder() {
        KoravelApp app;
        frmMain& window = app.Window();
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        testing::TempFile file(testing::Bytes(testing::FlashSize, 0xFF));

        QStringList texts;
        ModalAnswer answers(
            [&](QWidget* modal) {
                if (qobject_cast<QFileDialog*>(modal) != nullptr) {
                    ChooseFile(modal, file.Path());
                } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                    QCOMPARE(box->icon(), QMessageBox::Warning);
                    QCOMPARE(box->windowTitle(), QStringLiteral("Error"));
                    texts << box->text();
                    QTest::keyClick(box, Qt::Key_Return);
                }
            },
            4);
        QTest::mouseClick(Control<QPushButton>(window, "cmdFlash"), Qt::LeftButton);
        QCOMPARE(texts, (QStringList{"The region hex value 'FF' isn't known by Koravel.",
                                     "The broadcast hex value 'FF' isn't known by Koravel.",
                                     "The language hex value 'FF' isn't known by Koravel."}));
    }

    void everyCommandWorksFromTheKeyboardAlone() {
        KoravelApp app;
        frmMain& window = app.Window();
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        testing::TempFile file(testing::MakeFlashImage('1', '1', '0'));
        const auto focused = [] { return QApplication::focusWidget()->objectName(); };
        const auto key = [](Qt::Key k) { QTest::keyClick(QApplication::focusWidget(), k); };

        key(Qt::Key_Tab); // path box
        QCOMPARE(focused(), QStringLiteral("txtFlash"));
        key(Qt::Key_Tab); // Select
        QCOMPARE(focused(), QStringLiteral("cmdFlash"));
        ModalAnswer typePath([&](QWidget* modal) {
            auto* name = modal->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            QVERIFY(name != nullptr);
            QTest::keyClick(name, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(name, QString::fromStdString(file.Path().string()));
            QTest::keyClick(name, Qt::Key_Return);
        });
        key(Qt::Key_Space);
        QVERIFY(typePath.Answered());
        // A window manager gives the window back its activation when the dialog closes.
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QCOMPARE(focused(), QStringLiteral("cmdFlash"));
        QCOMPARE(Control<QLineEdit>(window, "txtFlash")->text(),
                 QString::fromStdString(file.Path().string()));

        key(Qt::Key_Tab); // region list
        QCOMPARE(focused(), QStringLiteral("cboPatch1"));
        key(Qt::Key_Up);  // USA -> Japan
        key(Qt::Key_Tab); // Patch
        QCOMPARE(focused(), QStringLiteral("cmdPatch"));
        QString shown;
        ModalAnswer dismiss([&](QWidget* modal) {
            shown = qobject_cast<QMessageBox*>(modal)->text();
            QTest::keyClick(modal, Qt::Key_Return);
        });
        key(Qt::Key_Space);
        QVERIFY(dismiss.Answered());
        QCOMPARE(shown, QStringLiteral("Your flash file was patched successfully."));
        QCOMPARE(file.Read()[0x1A002], std::uint8_t{'0'});
        QCOMPARE(file.Read()[0x1A0A2], std::uint8_t{'0'});
    }

    void everyControlHasAnAccessibleName() {
        KoravelApp app;
        frmMain& window = app.Window();
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QStringList names;
        for (const char* control : {"txtFlash", "cmdFlash", "cboPatch1", "cboPatch4", "cboPatch2",
                                    "cboPatch3", "cmdPatch", "picPatchRed"}) {
            QAccessibleInterface* accessible =
                QAccessible::queryAccessibleInterface(Control<QWidget>(window, control));
            QVERIFY(accessible != nullptr);
            const QString name = accessible->text(QAccessible::Name);
            QVERIFY2(!name.isEmpty(), control);
            QVERIFY2(!accessible->text(QAccessible::Description).isEmpty(), control);
            names << name;
        }
        names.removeDuplicates();
        QCOMPARE(names.size(), 8);
    }

    // Read as a screen reader on Linux reads them: the window by its caption,
    // each list by its setting, with the chosen item as its value and text.
    void theWindowAndTheListsAreNamedAsOnEveryDesktop() {
        KoravelApp app;
        frmMain& window = app.Window();
        window.show();
        QAccessibleInterface* frame = QAccessible::queryAccessibleInterface(&window);
        QCOMPARE(frame->role(), QAccessible::Window);
        QCOMPARE(frame->text(QAccessible::Name), QStringLiteral("Koravel v0.3"));

        const std::pair<const char*, const char*> lists[] = {{"cboPatch1", "Region"},
                                                             {"cboPatch4", "Swirl colour"},
                                                             {"cboPatch2", "Broadcast standard"},
                                                             {"cboPatch3", "Language"}};
        for (const auto& [control, name] : lists) {
            auto* list = Control<QComboBox>(window, control);
            list->setCurrentIndex(list->count() - 1);
            QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(list);
            QCOMPARE(accessible->role(), QAccessible::ComboBox);
            QCOMPARE(accessible->text(QAccessible::Name), QLatin1String(name));
            QCOMPARE(accessible->text(QAccessible::Value), list->currentText());
            QAccessibleTextInterface* text = accessible->textInterface();
            QVERIFY(text != nullptr);
            QCOMPARE(text->text(0, text->characterCount()), list->currentText());
            QCOMPARE(accessible->childCount(), 1); // the drop-down list, as Qt's own
            QCOMPARE(accessible->child(0)->object(), list->view());
        }
    }

    void onlyAnExistingLocalFileCanBeConfirmed() {
        testing::TempFile file(testing::MakeFlashImage('1', '1', '0'));
        const QString path = QString::fromStdString(file.Path().string());
        const QUrl folder =
            QUrl::fromLocalFile(QString::fromStdString(file.Path().parent_path().string()));
        const QUrl shown = QUrl::fromLocalFile(QStringLiteral("/where/the/dialog/was"));
        const auto refuse = [&](const QUrl& picked, std::uint32_t flags = OFN_FILEMUSTEXIST) {
            return QtOpenFileDialog::Refuse(picked, shown, flags);
        };
        QVERIFY(!refuse(QUrl::fromLocalFile(path)));
        QVERIFY(!refuse(QUrl::fromLocalFile(path + QStringLiteral(".new")), 0));

        // Each refusal says why, naming what was picked, and comes back where
        // the pick was or, for a pick with no local folder, where the dialog was.
        const struct {
            QUrl picked;
            QString why;
            QUrl folder;
        } refused[] = {
            {QUrl::fromLocalFile(path + QStringLiteral(".gone")),
             path + QStringLiteral(".gone\nFile not found.\nPlease verify the correct file name "
                                   "was given."),
             folder},
            {folder,
             folder.toLocalFile() + QStringLiteral("\nThis is not a file.\nPlease select a file."),
             QUrl::fromLocalFile(QFileInfo(folder.toLocalFile()).absolutePath())},
            {QUrl(QStringLiteral("smb://nas/dumps/flash.bin")),
             QStringLiteral("smb://nas/dumps/flash.bin\nThis file is not on this computer's file "
                            "system.\nPlease copy it to a local folder and select the copy."),
             shown},
        };
        for (const auto& r : refused) {
            for (const std::uint32_t flags : {std::uint32_t{OFN_FILEMUSTEXIST}, std::uint32_t{0}}) {
                if (flags == 0 && r.picked.isLocalFile()) {
                    continue; // without the rule any local name may be confirmed
                }
                const auto refusal = refuse(r.picked, flags);
                QVERIFY2(refusal.has_value(), qPrintable(r.picked.toString()));
                QCOMPARE(refusal->why, r.why);
                QCOMPARE(refusal->folder, r.folder);
            }
        }
    }
};

QTEST_MAIN(RealDialogsTest)
#include "RealDialogsTest.moc"
