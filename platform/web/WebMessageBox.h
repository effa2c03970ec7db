#pragma once

#include "platform/MessageBox.h"

namespace koravel {

// The page's modal <dialog id="msgBox">: title, icon, prompt and OK. Show
// returns once the user has closed it (OK, Enter or Escape).
class WebMessageBox : public MessageBox {
  public:
    void Show(const std::string& prompt, MsgIcon icon, const std::string& title) override;
};

} // namespace koravel
