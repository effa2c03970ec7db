#include "ui/qt/frmMain.h"

#include "settings/CodeTables.h"
#include "ui/ControlTexts.h"
#include "ui/FormHandlers.h"
#include "ui/qt/DesktopPlatform.h"
#include "ui/qt/DroppedFile.h"
#include "ui/qt/OwnTitleBar.h"
#include "ui/qt/ScreenReaderNames.h"
#include "ui/qt/SwirlPictures.h"

#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QTimer>
#include <QWindow>

namespace koravel {
namespace {

QString FromUtf8(const std::string& text) {
    return QString::fromStdString(text);
}

void Describe(QWidget* control, const ControlText& text) {
    if (*text.name != '\0') {
        control->setAccessibleName(QString::fromUtf8(text.name));
    }
    control->setAccessibleDescription(QString::fromUtf8(text.description));
}

QComboBox* MakeList(QWidget* parent, const char* name, std::span<const char* const> items,
                    const ControlText& text, QRect geometry) {
    auto* list = new QComboBox(parent); // not editable: the user can only pick an item
    list->setObjectName(QLatin1String(name));
    for (const char* item : items) {
        list->addItem(QString::fromUtf8(item));
    }
    list->setCurrentIndex(-1);
    Describe(list, text);
    list->setGeometry(geometry);
    return list;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption,
                        const ControlText& text, QRect geometry) {
    auto* button = new QPushButton(QString::fromUtf8(caption), parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false); // neither button answers Enter
    button->setDefault(false);
    Describe(button, text);
    button->setGeometry(geometry);
    return button;
}

QLabel* MakePicture(QWidget* parent, const char* name, const ControlText& text) {
    auto* picture = new QLabel(parent); // its drawing is read when it is first shown
    picture->setObjectName(QLatin1String(name));
    picture->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    picture->setLineWidth(2);
    picture->setFocusPolicy(Qt::StrongFocus); // picture boxes take focus, show no mark
    Describe(picture, text);
    picture->setGeometry(48, 8, 154, 120);
    return picture;
}

} // namespace

frmMain::frmMain(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    InstallScreenReaderNames();
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Koravel v0.3"));
    setFixedSize(250, 281);
    UseIconForScreen();

    // Created in declaration order; each picture starts hidden and without its
    // drawing until the preview rule shows it.
    cboPatch4 = MakeList(this, "cboPatch4", SwirlTexts(), cboPatch4Text, {128, 168, 113, 21});
    cboPatch3 = MakeList(this, "cboPatch3", LanguageTexts(), cboPatch3Text, {8, 216, 233, 21});
    cboPatch2 = MakeList(this, "cboPatch2", BroadcastTexts(), cboPatch2Text, {8, 192, 233, 21});
    cmdPatch = MakeButton(this, "cmdPatch", "Patch", cmdPatchText, {8, 248, 233, 25});
    cboPatch1 = MakeList(this, "cboPatch1", RegionTexts(), cboPatch1Text, {8, 168, 113, 21});
    cmdFlash = MakeButton(this, "cmdFlash", "Select", cmdFlashText, {200, 136, 41, 21});
    txtFlash = new QLineEdit(this);
    txtFlash->setObjectName(QStringLiteral("txtFlash"));
    Describe(txtFlash, txtFlashText);
    txtFlash->setGeometry(8, 136, 185, 21);
    // A drop anywhere on the window, the path box too, is the window's: the
    // box would otherwise type a dragged file's address or text into itself.
    txtFlash->setAcceptDrops(false);
    setAcceptDrops(true);
    picPatchBlack = MakePicture(this, "picPatchBlack", picPatchBlackText);
    picPatchRed = MakePicture(this, "picPatchRed", picPatchRedText);
    picPatchBlue = MakePicture(this, "picPatchBlue", picPatchBlueText);
    for (QLabel* picture : {picPatchBlack, picPatchRed, picPatchBlue}) {
        picture->setVisible(false);
    }

    if (QGuiApplication::platformName() == QLatin1String("wayland") &&
        !CompositorFramesWindows([](const char* name) { return qgetenv(name); })) {
        UseOwnTitleBar();
    }

    // Focus moves in this order, which is not top to bottom.
    focusOrder_ = {picPatchRed,  txtFlash,      cmdFlash,  cboPatch1, cmdPatch,
                   picPatchBlue, picPatchBlack, cboPatch2, cboPatch3, cboPatch4};
    for (qsizetype i = 0; i + 1 < focusOrder_.size(); ++i) {
        setTabOrder(focusOrder_[i], focusOrder_[i + 1]);
    }
}

void frmMain::UseOwnTitleBar() {
    // Qt's frame on Wayland offers maximize and minimize whatever the window
    // asks for, and its maximize ends the program: drawn at the one size the
    // window has, the maximized window is a protocol error. Without a frame,
    // the window draws its caption, icon and close box itself, above the
    // controls, and keeps its one size.
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint); // title hints would cancel it
    for (QWidget* control : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        control->move(control->x(), control->y() + OwnTitleBar::Height);
    }
    setFixedSize(width(), height() + OwnTitleBar::Height);
    new OwnTitleBar(this);
}

void frmMain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // On a screen of another density, the pictures of that density.
    if (QWindow* window = windowHandle(); window != nullptr && !watchingScreen_) {
        watchingScreen_ = true;
        connect(window, &QWindow::screenChanged, this, &frmMain::UsePicturesForScreen);
    }
    UsePicturesForScreen();
    // A window first shown gives the focus to the first control in focus order
    // that can take it.
    if (focusWidget() == nullptr) {
        for (QWidget* control : focusOrder_) {
            if (control->isVisibleTo(this) && control->isEnabled()) {
                control->setFocus(Qt::OtherFocusReason);
                break;
            }
        }
    }
}

void frmMain::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // The window has one size: a window manager's maximize or full screen
    // (from its menu or a key) is undone.
    const Qt::WindowStates bigger = Qt::WindowMaximized | Qt::WindowFullScreen;
    if (event->type() == QEvent::WindowStateChange && (windowState() & bigger) != 0) {
        setWindowState(windowState() & ~bigger);
    }
}

void frmMain::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // A window manager may give the window another size despite its hints (an
    // X11 window's caption double-clicked under Weston maximizes it, without
    // saying so in the window's state): the window asks for its own size back.
    if (event->size() != minimumSize() && !sizeRestorePending_) {
        sizeRestorePending_ = true;
        QTimer::singleShot(0, this, [this] {
            sizeRestorePending_ = false;
            if (size() != minimumSize()) {
                resize(minimumSize());
                move(normalPosition_);
            }
        });
    }
}

void frmMain::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    if (size() == minimumSize()) {
        normalPosition_ = pos();
    }
}

void frmMain::dragEnterEvent(QDragEnterEvent* event) {
    AnswerDrag(event);
}

void frmMain::dragMoveEvent(QDragMoveEvent* event) {
    AnswerDrag(event);
}

// Only what can be taken is offered, the same wherever the pointer is on the
// window: the pointer shows whether it can be dropped.
void frmMain::AnswerDrag(QDragMoveEvent* event) {
    if (handlers_ != nullptr && CanTakeDrop(*event->mimeData())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void frmMain::dropEvent(QDropEvent* event) {
    if (handlers_ == nullptr || !CanTakeDrop(*event->mimeData())) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    // The file is taken after the drag has ended, so that neither the portal
    // nor Select's modal messages keep the file manager that started it
    // waiting.
    QTimer::singleShot(0, this, [this, drop = ReadDrop(*event->mimeData())] {
        const QString path = TakeDroppedFile(drop);
        if (!path.isEmpty()) {
            handlers_->Form_OLEDragDrop(path.toStdString());
        }
    });
}

void frmMain::UsePicturesForScreen() {
    // Hidden pictures get the drawing for their screen when they are shown.
    for (PictureBox which :
         {PictureBox::picPatchRed, PictureBox::picPatchBlue, PictureBox::picPatchBlack}) {
        if (Picture(which)->isVisibleTo(this)) {
            UseDrawingForScreen(which);
        }
    }
    UseIconForScreen();
}

void frmMain::UseDrawingForScreen(PictureBox which) {
    QLabel* picture = Picture(which);
    const qreal ratio = devicePixelRatioF();
    if (picture->pixmap().isNull() || picture->pixmap().devicePixelRatio() != PictureScale(ratio)) {
        picture->setPixmap(SwirlPicture(which, ratio));
    }
}

void frmMain::UseIconForScreen() {
    const qreal scale = PictureScale(devicePixelRatioF());
    if (scale != iconScale_) {
        iconScale_ = scale;
        setWindowIcon(KoravelIcon(scale));
    }
}

void frmMain::Connect(FormHandlers& handlers) {
    handlers_ = &handlers;
    // `activated` is a user's pick (mouse, keys or wheel), also of the same item;
    // selections made from code raise nothing.
    connect(cboPatch1, &QComboBox::activated, this, [&handlers] { handlers.cboPatch1_Click(); });
    connect(cboPatch4, &QComboBox::activated, this, [&handlers] { handlers.cboPatch4_Click(); });
    connect(cmdFlash, &QPushButton::clicked, this, [&handlers] { handlers.cmdFlash_Click(); });
    connect(cmdPatch, &QPushButton::clicked, this, [&handlers] { handlers.cmdPatch_Click(); });
}

void frmMain::CentreOnScreen() {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

std::string frmMain::FlashText() const {
    return txtFlash->text().toStdString();
}

void frmMain::SetFlashText(const std::string& text) {
    txtFlash->setText(FromUtf8(text));
}

std::string frmMain::ListText(ListBox list) const {
    return List(list)->currentText().toStdString();
}

void frmMain::SetListText(ListBox list, const std::string& text) {
    QComboBox* box = List(list);
    box->setCurrentIndex(box->findText(FromUtf8(text), Qt::MatchExactly | Qt::MatchCaseSensitive));
}

void frmMain::SetPictureVisible(PictureBox picture, bool visible) {
    if (visible) {
        UseDrawingForScreen(picture);
    }
    Picture(picture)->setVisible(visible);
}

QComboBox* frmMain::List(ListBox list) const {
    switch (list) {
    case ListBox::cboPatch1:
        return cboPatch1;
    case ListBox::cboPatch2:
        return cboPatch2;
    case ListBox::cboPatch3:
        return cboPatch3;
    case ListBox::cboPatch4:
        return cboPatch4;
    }
    return cboPatch1;
}

QLabel* frmMain::Picture(PictureBox picture) const {
    switch (picture) {
    case PictureBox::picPatchRed:
        return picPatchRed;
    case PictureBox::picPatchBlue:
        return picPatchBlue;
    case PictureBox::picPatchBlack:
        return picPatchBlack;
    }
    return picPatchRed;
}

} // namespace koravel
