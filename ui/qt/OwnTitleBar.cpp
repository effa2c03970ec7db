#include "ui/qt/OwnTitleBar.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QToolButton>
#include <QWindow>

namespace koravel {

OwnTitleBar::OwnTitleBar(QWidget* window) : QWidget(window), close_(new QToolButton(this)) {
    setObjectName(QStringLiteral("ownTitleBar"));
    close_->setObjectName(QStringLiteral("ownCloseBox"));
    close_->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    close_->setAutoRaise(true);
    close_->setFocusPolicy(Qt::NoFocus); // not a stop in the window's focus order
    close_->setToolTip(tr("Close"));
    close_->setAccessibleName(tr("Close"));
    connect(close_, &QToolButton::clicked, window, &QWidget::close);
    connect(window, &QWidget::windowTitleChanged, this, qOverload<>(&QWidget::update));
    connect(window, &QWidget::windowIconChanged, this, qOverload<>(&QWidget::update));
    setGeometry(0, 0, window->width(), Height);
}

void OwnTitleBar::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    close_->setGeometry(width() - Height, 1, Height - 2, Height - 2);
}

void OwnTitleBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window).darker(108));
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawLine(0, height() - 1, width(), height() - 1);
    const int icon = 16;
    window()->windowIcon().paint(&painter, 5, (height() - icon) / 2, icon, icon);
    QFont caption = font();
    caption.setBold(true);
    painter.setFont(caption);
    painter.setPen(palette().color(QPalette::WindowText));
    const QRect text = rect().adjusted(icon + 10, 0, -Height - 4, 0);
    painter.drawText(
        text, Qt::AlignCenter,
        painter.fontMetrics().elidedText(window()->windowTitle(), Qt::ElideRight, text.width()));
}

void OwnTitleBar::mousePressEvent(QMouseEvent* event) {
    // The compositor moves the window: a Wayland program cannot place itself.
    if (event->button() == Qt::LeftButton && window()->windowHandle() != nullptr) {
        window()->windowHandle()->startSystemMove();
    }
}

void OwnTitleBar::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept(); // a frame's double click maximizes; this window has one size
}

} // namespace koravel
