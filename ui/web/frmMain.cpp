#include "ui/web/frmMain.h"

#include "settings/CodeTables.h"

#include <emscripten.h>

#include <algorithm>
#include <span>

// Lists and pictures by their FormView order.
// clang-format off
EM_JS(void, koravel_add_item, (int list, const char* text), {
    const select = document.getElementById(["cboPatch1", "cboPatch2", "cboPatch3", "cboPatch4"][list]);
    select.add(new Option(UTF8ToString(text)));
    select.selectedIndex = -1;
});
EM_JS(int, koravel_selected_index, (int list), {
    return document.getElementById(["cboPatch1", "cboPatch2", "cboPatch3", "cboPatch4"][list]).selectedIndex;
});
EM_JS(void, koravel_select_index, (int list, int index), {
    document.getElementById(["cboPatch1", "cboPatch2", "cboPatch3", "cboPatch4"][list]).selectedIndex = index;
});
EM_JS(int, koravel_flash_text_size, (), {
    return lengthBytesUTF8(document.getElementById("txtFlash").value) + 1;
});
EM_JS(void, koravel_flash_text_copy, (char* buffer, int size), {
    stringToUTF8(document.getElementById("txtFlash").value, buffer, size);
});
EM_JS(void, koravel_set_flash_text, (const char* text), {
    document.getElementById("txtFlash").value = UTF8ToString(text);
});
EM_JS(void, koravel_set_picture_visible, (int picture, int visible), {
    document.getElementById(["picPatchRed", "picPatchBlue", "picPatchBlack"][picture]).hidden = !visible;
});
// clang-format on

namespace koravel {

namespace {

int Index(ListBox list) {
    return static_cast<int>(list);
}

} // namespace

frmMain::frmMain() {
    const auto fill = [this](ListBox list, std::span<const char* const> texts) {
        items_[static_cast<std::size_t>(Index(list))].assign(texts.begin(), texts.end());
    };
    fill(ListBox::cboPatch1, RegionTexts());
    fill(ListBox::cboPatch2, BroadcastTexts());
    fill(ListBox::cboPatch3, LanguageTexts());
    fill(ListBox::cboPatch4, SwirlTexts());
}

void frmMain::DrawLists() {
    for (std::size_t list = 0; list < items_.size(); ++list) {
        for (const std::string& text : items_[list]) {
            koravel_add_item(static_cast<int>(list), text.c_str());
        }
    }
}

std::string frmMain::FlashText() const {
    const int size = koravel_flash_text_size();
    std::string text(static_cast<std::size_t>(size), '\0');
    koravel_flash_text_copy(text.data(), size);
    text.resize(static_cast<std::size_t>(size - 1));
    return text;
}

void frmMain::SetFlashText(const std::string& text) {
    koravel_set_flash_text(text.c_str());
}

std::string frmMain::ListText(ListBox list) const {
    const auto& items = items_[static_cast<std::size_t>(Index(list))];
    const int index = koravel_selected_index(Index(list));
    return index < 0 || index >= static_cast<int>(items.size())
               ? std::string()
               : items[static_cast<std::size_t>(index)];
}

void frmMain::SetListText(ListBox list, const std::string& text) {
    const auto& items = items_[static_cast<std::size_t>(Index(list))];
    const auto found = std::find(items.begin(), items.end(), text);
    if (found != items.end()) {
        koravel_select_index(Index(list), static_cast<int>(found - items.begin()));
    }
}

void frmMain::SetPictureVisible(PictureBox picture, bool visible) {
    koravel_set_picture_visible(static_cast<int>(picture), visible ? 1 : 0);
}

} // namespace koravel
