#pragma once

#include "ui/FormView.h"

#include <array>
#include <string>
#include <vector>

namespace koravel {

// The main window as the page draws it: native HTML controls whose ids are
// the control names. The lists' selections and the pictures' visibility live
// in the document. The page is built with the window already drawn as
// Form_Load leaves it (DrawLists, then Form_Load, run once by the build), so
// at run time the window only reads and changes what the document holds.
class frmMain : public FormView {
  public:
    frmMain();

    // Puts each list's items into the document's empty lists.
    void DrawLists();

    std::string FlashText() const override;
    void SetFlashText(const std::string& text) override;
    std::string ListText(ListBox list) const override;
    void SetListText(ListBox list, const std::string& text) override;
    void SetPictureVisible(PictureBox picture, bool visible) override;

  private:
    std::array<std::vector<std::string>, 4> items_; // by ListBox
};

} // namespace koravel
