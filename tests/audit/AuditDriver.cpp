// Runs one command of the window on an image, with the real file layer, so that
// a tracer can watch every system call it makes. Prints what the window shows.
//
//   koravel_audit_driver select|patch PATH [--sloppy]
//
// Patch writes Europe, Black swirl, PAL_M, Italian. --sloppy puts a layer that
// misbehaves between the handlers and the file layer, so the audit can be seen
// to catch it.

#include "platform/modCommonDialog.h"
#include "platform/posix/PosixFileLayer.h"
#include "tests/support/Fakes.h"
#include "ui/FormHandlers.h"

#include <cstdio>
#include <cstring>
#include <iostream>

namespace {

using namespace koravel;

// Reads the image's first byte before every read and the target byte before
// every write, and flushes twice: all things the commands must never do.
class SloppyFileLayer : public FileLayer {
  public:
    explicit SloppyFileLayer(FileLayer& real) : real_(real) {}
    bool Exists(const std::string& path) override { return real_.Exists(path); }
    void Open(int n, const std::string& path, OpenMode mode) override { real_.Open(n, path, mode); }
    SaveTarget SavesTo(int n) override { return real_.SavesTo(n); }
    bool ReadByte(int n, std::int64_t position, std::uint8_t& byte) override {
        std::uint8_t first = 0;
        real_.ReadByte(n, 1, first);
        return real_.ReadByte(n, position, byte);
    }
    void WriteText(int n, std::int64_t position, std::string_view text) override {
        std::uint8_t old = 0;
        real_.ReadByte(n, position, old);
        real_.WriteText(n, position, text);
    }
    std::int64_t Length(int n) override { return real_.Length(n); }
    void Flush(int n) override {
        real_.Flush(n);
        real_.Flush(n);
    }
    void Close(int n) override { real_.Close(n); }

  private:
    FileLayer& real_;
};

} // namespace

int main(int argc, char* argv[]) {
    const bool sloppy = argc == 4 && std::strcmp(argv[3], "--sloppy") == 0;
    if ((argc != 3 && !sloppy) ||
        (std::strcmp(argv[1], "select") != 0 && std::strcmp(argv[1], "patch") != 0)) {
        std::fprintf(stderr, "usage: %s select|patch PATH [--sloppy]\n", argv[0]);
        return 2;
    }
    const std::string path = argv[2];

    PosixFileLayer realFiles;
    SloppyFileLayer sloppyFiles(realFiles);
    FileLayer& files = sloppy ? static_cast<FileLayer&>(sloppyFiles) : realFiles;
    testing::FakeFormView view;
    testing::RecordingMessageBox messages;
    testing::ScriptedOpenDialog dialog;
    modCommonDialog dialogs(dialog, messages);
    FormHandlers handlers(view, files, messages, dialogs);
    handlers.Form_Load();

    if (std::strcmp(argv[1], "select") == 0) {
        dialog.answers.push_back(path);
        handlers.cmdFlash_Click();
    } else {
        view.SetFlashText(path);
        view.SetListText(ListBox::cboPatch1, "Europe");
        view.SetListText(ListBox::cboPatch4, "Black swirl");
        view.SetListText(ListBox::cboPatch2, "PAL_M");
        view.SetListText(ListBox::cboPatch3, "Italian (Italiano)");
        handlers.cmdPatch_Click();
    }

    std::cout << "lists: " << view.ListText(ListBox::cboPatch1) << '|'
              << view.ListText(ListBox::cboPatch4) << '|' << view.ListText(ListBox::cboPatch2)
              << '|' << view.ListText(ListBox::cboPatch3) << '\n';
    for (const testing::ShownMessage& shown : messages.shown) {
        std::cout << "message: " << shown.title << ": " << shown.prompt << '\n';
    }
    return 0;
}
