#include "platform/FileError.h"
#include "platform/FileLayer.h"
#include "platform/MessageBox.h"
#include "settings/CodeTables.h"
#include "settings/Layout.h"
#include "settings/SettingsFile.h"
#include "ui/FormHandlers.h"
#include "ui/UndoablePatch.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <exception>
#include <iterator>
#include <optional>
#include <string>

namespace koravel {
namespace {

SettingsBlock EncodeLists(const FormView& view) {
    SettingsBlock block;
    block.regionCode =
        EncodeRegion(view.ListText(ListBox::cboPatch1), view.ListText(ListBox::cboPatch4));
    block.broadcastCode = EncodeBroadcast(view.ListText(ListBox::cboPatch2));
    block.languageCode = EncodeLanguage(view.ListText(ListBox::cboPatch3));
    return block;
}

std::string HexOffset(std::int64_t offset) {
    char digits[20];
    const auto end = std::to_chars(std::begin(digits), std::end(digits), offset, 16).ptr;
    std::string text(std::begin(digits), end);
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return "0x" + text;
}

// Why the open file cannot be a flash image, or nothing when it can. A file too
// short for both copies would end half patched, or grown with bytes that were
// never there; one without the console's name is some other file (a BIOS dump
// often lies beside the flash), whose bytes are not settings at all.
std::optional<std::string> WhyNotAFlashImage(FileLayer& files, int fileNumber) {
    const std::int64_t length = files.Length(fileNumber);
    if (length < layout::MirrorEnd) {
        return "The file you selected is too small to be a flash image: it has " +
               std::to_string(length) + " bytes, and a flash image needs at least " +
               std::to_string(layout::MirrorEnd) + ". Nothing was written to it.";
    }
    if (!HasFlashMarker(files, fileNumber)) {
        return "The file you selected is not a Dreamcast flash image: a flash image holds the "
               "text \"" +
               std::string(layout::MarkerText) + "\" at offset " + HexOffset(layout::MarkerOffset) +
               ", and this file does not. Nothing was written to it.";
    }
    return std::nullopt;
}

std::string ErrorLine(const FileError& error) {
    return std::to_string(error.Number()) + " - " + error.Description();
}

const char* HoldsText(CopyHolds holds) {
    switch (holds) {
    case CopyHolds::Original:
        return "still holds the original settings";
    case CopyHolds::New:
        return "holds the new settings";
    case CopyHolds::Mixed:
        return "holds some of the new settings and some of the original ones";
    case CopyHolds::Unknown:
        break;
    }
    return "may be damaged, as the system could not confirm what it holds";
}

// The original bytes could not all be put back: say exactly what each copy
// holds, so that the user knows to restore a backup.
std::string DamageText(const PatchFailure& failure) {
    std::string text = "Cannot patch the flash file, and Koravel could not put back what it had "
                       "written.\r\n\r\nIts primary copy of the settings " +
                       std::string(HoldsText(failure.primary)) + ", and its mirror copy " +
                       HoldsText(failure.mirror) +
                       ". Restore the file from a backup before you use it.\r\n\r\nPatching: " +
                       ErrorLine(failure.error);
    if (failure.undoError) {
        text += "\r\nPutting back: " + ErrorLine(*failure.undoError);
    }
    return text;
}

// Closing failed after the flush had put every new code on the storage, and the
// original bytes could not be put back: the patch is in the file after all.
std::string KeptAfterAll(const PatchFailure& failure) {
    std::string text = "Your flash file now holds the new settings in both copies, but the system "
                       "reported a failure when Koravel closed it, and Koravel could not put the "
                       "original settings back. Select the file again to check what it "
                       "holds.\r\n\r\nPatching: " +
                       ErrorLine(failure.error);
    if (failure.undoError) {
        text += "\r\nPutting back: " + ErrorLine(*failure.undoError);
    }
    return text;
}

// A browser that cannot write to the picked file gets a patched copy as a
// download instead; the picked file is untouched, so it must not be called patched.
std::string DownloadedText(const std::string& name) {
    return "A patched copy of your flash file was handed to the browser as a download named \"" +
           name +
           "\". The file you picked is unchanged: use the downloaded copy (the browser may add a "
           "number to its name).";
}

// Patched, where the system could not say whether another program had the file
// open: the patch is made, but may not last, and the user is the one who can know.
std::string PatchedUnseenText(const std::string& why) {
    return "Your flash file was patched successfully.\r\n\r\nKoravel could not check whether "
           "another program has it open: " +
           why +
           ". If an emulator or another program has it open, quit that program, then select the "
           "file again to check its settings.";
}

} // namespace

// Patch: write the settings that the lists show into both copies of the image
// that the path box names, in place, touching no other byte; all or nothing.
void FormHandlers::cmdPatch_Click() {
    std::optional<PatchFailure> failure;
    std::string path;
    bool download = false;
    std::optional<std::string> unseen; // why other openers could not be seen
    try {
        path = view_.FlashText();
        if (path.empty()) {
            messages_.Show("Don't forget to select the flash first...", MsgIcon::Critical, "Error");
            return;
        }
        // Folders, devices and FIFOs count as missing, so they are never opened.
        if (!files_.Exists(path)) {
            messages_.Show("Make sure the flash you selected actually exists i.e. it doesn't.",
                           MsgIcon::Critical, "Error");
            return;
        }

        files_.Open(FlashFileNumber, path, OpenMode::ReadWrite);
        unseen = files_.WhyOtherOpenersUnseen(FlashFileNumber);
        const SettingsBlock block = EncodeLists(view_);
        if (const auto refusal = WhyNotAFlashImage(files_, FlashFileNumber)) {
            files_.Close(FlashFileNumber);
            messages_.Show(*refusal, MsgIcon::Critical, "Error");
            return;
        }
        download = files_.SavesTo(FlashFileNumber) == SaveTarget::Download;
        failure = UndoablePatch(files_, FlashFileNumber, path, block).Apply();
    } catch (const FileError& e) {
        // Nothing was written yet: the image is as it was.
        ReportUnchanged(e);
        CloseQuietly();
        return;
    } catch (const std::exception& e) {
        ReportUnchanged(FileError(err::InternalError, e.what()));
        CloseQuietly();
        return;
    }

    // The image is closed by now, whatever happened to it.
    if (!failure && download) {
        messages_.Show(DownloadedText(path), MsgIcon::Information, "Information");
    } else if (!failure && unseen) {
        // A success, with a caution: not called an error.
        messages_.Show(PatchedUnseenText(*unseen), MsgIcon::Warning, "Information");
    } else if (!failure) {
        messages_.Show("Your flash file was patched successfully.", MsgIcon::Information,
                       "Information");
    } else if (failure->NothingChanged()) {
        ReportUnchanged(failure->error);
    } else if (failure->primary == CopyHolds::New && failure->mirror == CopyHolds::New) {
        messages_.Show(KeptAfterAll(*failure), MsgIcon::Warning, "Error");
    } else {
        messages_.Show(DamageText(*failure), MsgIcon::Critical, "Error");
    }
}

// A failed patch that left the image as it was. Only another program's hold
// on the file is 75; a file that may not be changed is 70, and the error's
// description says why and what to do about it.
void FormHandlers::ReportUnchanged(const FileError& error) {
    if (error.Number() == err::PathFileAccess) {
        messages_.Show("Cannot patch the flash file because it's opened in another program.",
                       MsgIcon::Critical, "Error");
    } else if (error.Number() == err::PermissionDenied) {
        ReportFileError("Cannot patch the flash file because Koravel was not allowed to write to "
                        "it. Nothing in it was changed.",
                        error.Number(), error.Description());
    } else {
        ReportFileError("Cannot patch the flash file. Nothing in it was changed.", error.Number(),
                        error.Description());
    }
}

} // namespace koravel
