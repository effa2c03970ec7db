#pragma once

#include "platform/MessageBox.h"

struct HWND__;

namespace koravel {

// MessageBoxW, OK only, modal to its owner window (set once the window exists).
class Win32MessageBox : public MessageBox {
  public:
    void SetOwner(HWND__* owner) { owner_ = owner; }
    void Show(const std::string& prompt, MsgIcon icon, const std::string& title) override;

  private:
    HWND__* owner_ = nullptr;
};

} // namespace koravel
