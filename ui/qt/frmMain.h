#pragma once

#include "ui/FormView.h"

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace koravel {

class FormHandlers;

// The main window as Qt draws it: the ten controls, their geometry and focus
// order. What the window does lives in FormHandlers.
class frmMain : public QWidget, public FormView {
    Q_OBJECT

  public:
    explicit frmMain(QWidget* parent = nullptr);

    // Routes the controls' events to the handlers; the one place signals are wired.
    void Connect(FormHandlers& handlers);

    // Places the window in the middle of its screen.
    void CentreOnScreen();

    std::string FlashText() const override;
    void SetFlashText(const std::string& text) override;
    std::string ListText(ListBox list) const override;
    void SetListText(ListBox list, const std::string& text) override;
    void SetPictureVisible(PictureBox picture, bool visible) override;

    QComboBox* List(ListBox list) const;
    QLabel* Picture(PictureBox picture) const;

  protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    // One local file dropped on the window is taken as Select takes a picked one.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    // The drawings and the window icon that suit the window's screen.
    void UsePicturesForScreen();
    void UseDrawingForScreen(PictureBox which);
    void UseIconForScreen();
    void AnswerDrag(QDragMoveEvent* event);
    // On Qt's Wayland platform: no frame of Qt's, a caption bar of our own.
    void UseOwnTitleBar();

    FormHandlers* handlers_ = nullptr;
    bool watchingScreen_ = false;
    bool sizeRestorePending_ = false;
    QPoint normalPosition_; // where the window was last at its own size
    qreal iconScale_ = 0;   // the scale of the window icon's drawings, 0 until it has one
    QList<QWidget*> focusOrder_;
    QComboBox* cboPatch4;
    QComboBox* cboPatch3;
    QComboBox* cboPatch2;
    QPushButton* cmdPatch;
    QComboBox* cboPatch1;
    QPushButton* cmdFlash;
    QLineEdit* txtFlash;
    QLabel* picPatchBlack;
    QLabel* picPatchRed;
    QLabel* picPatchBlue;
};

} // namespace koravel
