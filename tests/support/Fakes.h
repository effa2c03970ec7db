#pragma once

#include "platform/FileError.h"
#include "platform/FileLayer.h"
#include "platform/MessageBox.h"
#include "platform/OpenFileDialog.h"
#include "ui/FormView.h"

#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace koravel::testing {

// A window without a toolkit: pick-only lists that hold their items, a path box,
// and three pictures, with a log of every picture change in order.
class FakeFormView : public FormView {
  public:
    FakeFormView();
    std::string FlashText() const override { return flash; }
    void SetFlashText(const std::string& text) override { flash = text; }
    std::string ListText(ListBox list) const override;
    void SetListText(ListBox list, const std::string& text) override;
    void SetPictureVisible(PictureBox picture, bool visible) override;

    // The one visible picture, or nothing when none or more than one is.
    std::optional<PictureBox> VisiblePicture() const;

    std::string flash;
    std::map<ListBox, std::vector<std::string>> items;
    std::map<ListBox, int> selected;
    std::map<PictureBox, bool> visible;
    std::vector<std::pair<PictureBox, bool>> pictureLog;
};

struct ShownMessage {
    std::string prompt;
    MsgIcon icon;
    std::string title;
    friend bool operator==(const ShownMessage&, const ShownMessage&) = default;
};

// Records what would be shown instead of showing it.
class RecordingMessageBox : public MessageBox {
  public:
    void Show(const std::string& prompt, MsgIcon icon, const std::string& title) override {
        shown.push_back({prompt, icon, title});
    }
    std::vector<ShownMessage> shown;
};

// Answers each Run with the next scripted answer (a path, or nothing for a
// cancel), or throws the scripted error; records what it was asked.
class ScriptedOpenDialog : public OpenFileDialog {
  public:
    std::optional<std::string> Run(const std::string& title, const std::vector<FileFilter>& filters,
                                   std::uint32_t flags) override;

    std::deque<std::optional<std::string>> answers;
    std::optional<FileError> error;
    std::vector<std::string> titles;
    std::vector<std::vector<FileFilter>> filterLists;
    std::vector<std::uint32_t> flagValues;
};

// Passes every call to a real file layer, and fails the chosen call instead.
class FaultyFileLayer : public FileLayer {
  public:
    enum class Op { Open, Read, Write, Flush, Close, Length };

    explicit FaultyFileLayer(FileLayer& real) : real_(real) {}
    // Fails the n-th (from 1) call of `op` with `error`; each call adds a fault.
    void FailAt(Op op, int n, FileError error);
    // Fails the n-th call of `op` and every later one.
    void FailFrom(Op op, int n, FileError error);
    // Forgets the faults, the counts and the positions.
    void Reset();

    bool Exists(const std::string& path) override { return real_.Exists(path); }
    void Open(int fileNumber, const std::string& path, OpenMode mode) override;
    SaveTarget SavesTo(int fileNumber) override { return real_.SavesTo(fileNumber); }
    // The real layer's answer, unless `unseen` stands in for a system that cannot tell.
    std::optional<std::string> WhyOtherOpenersUnseen(int fileNumber) override {
        return unseen ? unseen : real_.WhyOtherOpenersUnseen(fileNumber);
    }
    bool ReadByte(int fileNumber, std::int64_t position, std::uint8_t& byte) override;
    void WriteText(int fileNumber, std::int64_t position, std::string_view text) override;
    void Flush(int fileNumber) override;
    void Close(int fileNumber) override;
    std::int64_t Length(int fileNumber) override;

    std::optional<std::string> unseen;
    std::map<Op, int> calls;
    std::vector<std::int64_t> readPositions;    // reads that reached the file
    std::vector<std::int64_t> writtenPositions; // writes that reached the file

  private:
    struct Fault {
        Op op;
        int first;
        int last;
        FileError error;
    };
    // Counts a call of `op`; gives the error it is to fail with, if any.
    const FileError* Count(Op op);
    FileLayer& real_;
    std::vector<Fault> faults_;
};

} // namespace koravel::testing
