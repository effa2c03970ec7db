#include "tests/support/Fakes.h"

#include "settings/CodeTables.h"

#include <algorithm>

namespace koravel::testing {

FakeFormView::FakeFormView() {
    const auto fill = [this](ListBox list, std::span<const char* const> texts) {
        items[list].assign(texts.begin(), texts.end());
        selected[list] = -1;
    };
    fill(ListBox::cboPatch1, RegionTexts());
    fill(ListBox::cboPatch2, BroadcastTexts());
    fill(ListBox::cboPatch3, LanguageTexts());
    fill(ListBox::cboPatch4, SwirlTexts());
    for (PictureBox p :
         {PictureBox::picPatchRed, PictureBox::picPatchBlue, PictureBox::picPatchBlack}) {
        visible[p] = false;
    }
}

std::string FakeFormView::ListText(ListBox list) const {
    const int index = selected.at(list);
    return index < 0 ? std::string() : items.at(list)[static_cast<std::size_t>(index)];
}

void FakeFormView::SetListText(ListBox list, const std::string& text) {
    const auto& texts = items.at(list);
    const auto found = std::find(texts.begin(), texts.end(), text);
    selected[list] = found == texts.end() ? -1 : static_cast<int>(found - texts.begin());
}

void FakeFormView::SetPictureVisible(PictureBox picture, bool isVisible) {
    visible[picture] = isVisible;
    pictureLog.emplace_back(picture, isVisible);
}

std::optional<PictureBox> FakeFormView::VisiblePicture() const {
    std::optional<PictureBox> found;
    for (const auto& [picture, isVisible] : visible) {
        if (isVisible) {
            if (found) {
                return std::nullopt;
            }
            found = picture;
        }
    }
    return found;
}

std::optional<std::string> ScriptedOpenDialog::Run(const std::string& title,
                                                   const std::vector<FileFilter>& filters,
                                                   std::uint32_t flags) {
    titles.push_back(title);
    filterLists.push_back(filters);
    flagValues.push_back(flags);
    if (error) {
        throw *error;
    }
    if (answers.empty()) {
        return std::nullopt;
    }
    auto answer = answers.front();
    answers.pop_front();
    return answer;
}

void FaultyFileLayer::FailAt(Op op, int n, FileError error) {
    failOp_ = op;
    failAt_ = n;
    error_ = std::move(error);
}

void FaultyFileLayer::Count(Op op) {
    const int n = ++calls[op];
    if (failOp_ == op && n == failAt_) {
        throw *error_;
    }
}

void FaultyFileLayer::Open(int fileNumber, const std::string& path, OpenMode mode) {
    Count(Op::Open);
    real_.Open(fileNumber, path, mode);
}

bool FaultyFileLayer::ReadByte(int fileNumber, std::int64_t position, std::uint8_t& byte) {
    Count(Op::Read);
    return real_.ReadByte(fileNumber, position, byte);
}

void FaultyFileLayer::WriteText(int fileNumber, std::int64_t position, std::string_view text) {
    Count(Op::Write);
    real_.WriteText(fileNumber, position, text);
    writtenPositions.push_back(position);
}

void FaultyFileLayer::Flush(int fileNumber) {
    Count(Op::Flush);
    real_.Flush(fileNumber);
}

void FaultyFileLayer::Close(int fileNumber) {
    // The real file is closed even when the close is made to fail, as a failing
    // close still releases the number.
    ++calls[Op::Close];
    real_.Close(fileNumber);
    if (failOp_ == Op::Close && calls[Op::Close] == failAt_) {
        throw *error_;
    }
}

std::int64_t FaultyFileLayer::Length(int fileNumber) {
    Count(Op::Length);
    return real_.Length(fileNumber);
}

} // namespace koravel::testing
