#pragma once

#include "platform/MessageBox.h"

class QWidget;

namespace koravel {

// A QMessageBox modal to its owner window, OK button only, plain text.
class QtMessageBox : public MessageBox {
  public:
    explicit QtMessageBox(QWidget* owner) : owner_(owner) {}
    void Show(const std::string& prompt, MsgIcon icon, const std::string& title) override;

  private:
    QWidget* owner_;
};

} // namespace koravel
