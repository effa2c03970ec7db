#pragma once

#include <string>

namespace koravel {

// Icon styles of the modal message box.
enum class MsgIcon : int {
    Critical = 16,
    Warning = 48,
    Information = 64,
};

// A modal message box with an OK button only. Texts are UTF-8.
class MessageBox {
public:
    virtual ~MessageBox() = default;
    virtual void Show(const std::string& prompt, MsgIcon icon, const std::string& title) = 0;
};

} // namespace koravel
