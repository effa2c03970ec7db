#pragma once

#include <QWidget>

class QToolButton;

namespace koravel {

// The caption, the icon and a close box, drawn by the window itself where Qt
// would draw a frame with maximize and minimize boxes (a Wayland compositor
// without frames of its own). Dragging it moves the window; nothing else it
// offers changes the window's size.
class OwnTitleBar : public QWidget {
    Q_OBJECT

  public:
    explicit OwnTitleBar(QWidget* window);
    static constexpr int Height = 26;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    QToolButton* close_;
};

} // namespace koravel
