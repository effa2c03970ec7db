#pragma once

#include <string>

namespace koravel {

// The four settings lists of the main window.
enum class ListBox {
    cboPatch1, // region
    cboPatch2, // broadcast standard
    cboPatch3, // language
    cboPatch4, // swirl colour
};

// The three stacked swirl pictures.
enum class PictureBox { picPatchRed, picPatchBlue, picPatchBlack };

// What the window's handlers need of the window, whatever toolkit draws it.
// Texts are UTF-8. Setting a list's text selects the item with exactly that text
// and raises no click handling of its own.
class FormView {
  public:
    virtual ~FormView() = default;

    virtual std::string FlashText() const = 0;
    virtual void SetFlashText(const std::string& text) = 0;

    virtual std::string ListText(ListBox list) const = 0;
    virtual void SetListText(ListBox list, const std::string& text) = 0;

    virtual void SetPictureVisible(PictureBox picture, bool visible) = 0;
};

} // namespace koravel
