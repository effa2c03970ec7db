#include "tests/support/Fakes.h"

#include "settings/CodeTables.h"

#include <algorithm>
#include <limits>

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
    faults_.push_back({op, n, n, std::move(error)});
}

void FaultyFileLayer::FailFrom(Op op, int n, FileError error) {
    faults_.push_back({op, n, std::numeric_limits<int>::max(), std::move(error)});
}

void FaultyFileLayer::Reset() {
    faults_.clear();
    calls.clear();
    readPositions.clear();
    writtenPositions.clear();
}

const FileError* FaultyFileLayer::Count(Op op) {
    const int n = ++calls[op];
    for (const Fault& fault : faults_) {
        if (fault.op == op && n >= fault.first && n <= fault.last) {
            return &fault.error;
        }
    }
    return nullptr;
}

// Each call fails before it reaches the file, as a failing system call leaves
// it; only a close releases its number first.
void FaultyFileLayer::Open(int fileNumber, const std::string& path, OpenMode mode) {
    if (const FileError* error = Count(Op::Open)) {
        throw *error;
    }
    real_.Open(fileNumber, path, mode);
}

bool FaultyFileLayer::ReadByte(int fileNumber, std::int64_t position, std::uint8_t& byte) {
    if (const FileError* error = Count(Op::Read)) {
        throw *error;
    }
    readPositions.push_back(position);
    return real_.ReadByte(fileNumber, position, byte);
}

void FaultyFileLayer::WriteText(int fileNumber, std::int64_t position, std::string_view text) {
    if (const FileError* error = Count(Op::Write)) {
        throw *error;
    }
    real_.WriteText(fileNumber, position, text);
    writtenPositions.push_back(position);
}

void FaultyFileLayer::Flush(int fileNumber) {
    if (const FileError* error = Count(Op::Flush)) {
        throw *error;
    }
    real_.Flush(fileNumber);
}

void FaultyFileLayer::Close(int fileNumber) {
    // The real file is closed even when the close is made to fail, as a failing
    // close still releases the number.
    const FileError* error = Count(Op::Close);
    real_.Close(fileNumber);
    if (error) {
        throw *error;
    }
}

std::int64_t FaultyFileLayer::Length(int fileNumber) {
    if (const FileError* error = Count(Op::Length)) {
        throw *error;
    }
    return real_.Length(fileNumber);
}

} // namespace koravel::testing
