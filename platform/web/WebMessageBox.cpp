#include "platform/web/WebMessageBox.h"

#include <emscripten.h>

// clang-format off
EM_ASYNC_JS(void, koravel_message_box, (const char* prompt, const char* style, const char* title), {
    const box = document.getElementById("msgBox");
    document.getElementById("msgTitle").textContent = UTF8ToString(title);
    document.getElementById("msgIcon").dataset.style = UTF8ToString(style);
    document.getElementById("msgPrompt").textContent = UTF8ToString(prompt);
    await new Promise((resolve) => {
        box.addEventListener("close", resolve, {once: true});
        box.showModal();
        document.getElementById("msgOk").focus();
    });
});
// clang-format on

namespace koravel {

namespace {

const char* StyleName(MsgIcon icon) {
    switch (icon) {
    case MsgIcon::Critical:
        return "critical";
    case MsgIcon::Warning:
        return "warning";
    case MsgIcon::Information:
        break;
    }
    return "information";
}

// Line breaks come as CR LF; the page shows LF as a break (white-space: pre-line).
std::string PageLines(const std::string& text) {
    std::string lines;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            lines += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else {
            lines += text[i];
        }
    }
    return lines;
}

} // namespace

void WebMessageBox::Show(const std::string& prompt, MsgIcon icon, const std::string& title) {
    koravel_message_box(PageLines(prompt).c_str(), StyleName(icon), title.c_str());
}

} // namespace koravel
