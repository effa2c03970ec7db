// The Windows file layer on real files: positions, fixed sizes, what counts as
// a file, names, other programs' share modes, and files that may not be changed.
#include "platform/win32/Win32FileLayer.h"
#include "platform/win32/Win32Error.h"
#include "platform/win32/WinApi.h"

#include "ShareHolderProcess.h"
#include "tests/platform/Caught.h"
#include "tests/support/FlashImage.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

using namespace koravel;
using namespace koravel::testing;
namespace fs = std::filesystem;

namespace {

constexpr auto Size = static_cast<std::int64_t>(FlashSize);

// Wine reaches Linux devices through drive Z:, by paths that look like files.
bool UnderWine() {
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

class Win32FileLayerTest : public ::testing::Test {
  protected:
    // A file beside the image, by a UTF-8 name.
    std::string Beside(const std::string& name, bool create = true) const {
        const fs::path path = file.Folder() / fs::path(std::u8string(name.begin(), name.end()));
        if (create) {
            WriteFile(path, {'x'});
        }
        return Utf8(path);
    }

    TempFile file{MakeFlashImage('4', '2', '1')};
    std::string image = file.PathText();
    Win32FileLayer layer; // closed before the folder goes
};

using Win32FileLayerIo = Win32FileLayerTest;
using Win32FileLayerKinds = Win32FileLayerTest;
using Win32FileLayerSharing = Win32FileLayerTest;
using Win32FileLayerAccess = Win32FileLayerTest;

TEST_F(Win32FileLayerIo, PositionsCountFromOne) {
    layer.Open(1, image, OpenMode::ReadOnly);
    std::uint8_t byte = 0;
    const char expected[3] = {'4', '2', '1'};
    for (int i = 0; i < 6; ++i) {
        ASSERT_TRUE(layer.ReadByte(1, static_cast<std::int64_t>(SettingOffsets[i]) + 1, byte));
        EXPECT_EQ(byte, expected[i % 3]) << "setting byte " << i;
    }
    ASSERT_TRUE(layer.ReadByte(1, FactoryPartition + 1, byte));
    EXPECT_EQ(byte, '0');
    EXPECT_EQ(Catch([&] { layer.ReadByte(1, 0, byte); }).number, err::BadRecordNumber);
    EXPECT_EQ(Catch([&] { layer.WriteText(1, -1, "x"); }).number, err::BadRecordNumber);
}

TEST_F(Win32FileLayerIo, ReadingAtOrPastTheEndKeepsTheByte) {
    layer.Open(1, image, OpenMode::ReadOnly);
    std::uint8_t byte = 0x5A;
    for (const std::int64_t position : {Size + 1, Size + 2, std::int64_t{1'000'000'000'000}}) {
        EXPECT_FALSE(layer.ReadByte(1, position, byte)) << position;
    }
    EXPECT_EQ(byte, 0x5A);
    ASSERT_TRUE(layer.ReadByte(1, Size, byte)); // the last byte, erased flash
    EXPECT_EQ(byte, 0xFF);
}

TEST_F(Win32FileLayerIo, WritesInPlaceAndNeverGrowTheFile) {
    const Bytes before = file.Read();
    layer.Open(1, image, OpenMode::ReadWrite);
    layer.WriteText(1, SettingOffsets[0] + 1, std::string_view("A\0\x80", 3));
    layer.WriteText(1, Size, "Z"); // ends exactly at the end
    for (const std::int64_t position : {Size + 1, Size, std::int64_t{1}}) {
        const std::string text = position == 1 ? std::string(FlashSize + 1, 'X') : "XY";
        const Caught grown = Catch([&] { layer.WriteText(1, position, text); });
        EXPECT_EQ(grown.number, err::BadRecordNumber) << position;
        EXPECT_NE(grown.description.find("past the end"), std::string::npos);
    }
    EXPECT_EQ(layer.Length(1), Size);
    layer.Close(1);

    const Bytes after = file.Read();
    ASSERT_EQ(after.size(), FlashSize);
    EXPECT_EQ(DifferingOffsets(before, after),
              (std::vector<std::size_t>{0x1A002, 0x1A003, 0x1A004, FlashSize - 1}));
    EXPECT_EQ(after[0x1A003], 0x00);
    EXPECT_EQ(after[0x1A004], 0x80);
}

TEST_F(Win32FileLayerIo, EmptyTextsAndReadOnlyNumbersWriteNothing) {
    // One at a time: a writing handle shares the file with no other, ours included.
    layer.Open(1, image, OpenMode::ReadWrite);
    EXPECT_NO_THROW(layer.WriteText(1, Size + 99, ""));
    layer.Close(1);
    layer.Open(2, image, OpenMode::ReadOnly);
    EXPECT_NO_THROW(layer.WriteText(2, 1, ""));
    const Caught refused = Catch([&] { layer.WriteText(2, 1, "x"); });
    EXPECT_EQ(refused.number, err::PathFileAccess);
    EXPECT_NE(refused.description.find("reading only"), std::string::npos);
    EXPECT_NO_THROW(layer.Flush(2)); // Windows would refuse to flush a reading handle
    layer.Close(2);
    EXPECT_EQ(file.Read(), MakeFlashImage('4', '2', '1'));
}

// No other program can look while the file is open for writing: the write is
// read back through the same handle, and from the file once it is closed.
TEST_F(Win32FileLayerIo, FlushedWritesReadBackAndStay) {
    layer.Open(1, image, OpenMode::ReadWrite);
    layer.WriteText(1, 1, "K");
    layer.Flush(1);
    std::uint8_t byte = 0;
    ASSERT_TRUE(layer.ReadByte(1, 1, byte));
    EXPECT_EQ(byte, 'K');
    layer.Close(1);
    EXPECT_EQ(file.Read()[0], 'K');
}

TEST_F(Win32FileLayerIo, OpenNeitherTruncatesNorCreates) {
    layer.Open(1, image, OpenMode::ReadWrite);
    layer.Close(1);
    EXPECT_EQ(file.Read().size(), FlashSize);

    const std::string missing = Beside("missing.bin", false);
    EXPECT_EQ(Catch([&] { layer.Open(1, missing, OpenMode::ReadWrite); }).number,
              err::FileNotFound);
    EXPECT_FALSE(fs::exists(file.Folder() / "missing.bin"));
}

TEST_F(Win32FileLayerIo, NumbersRunFromOneTo511AndHoldOneFileEach) {
    std::uint8_t byte = 0;
    for (const int number : {0, 512, -1}) {
        EXPECT_EQ(Catch([&] { layer.Open(number, image, OpenMode::ReadOnly); }).number,
                  err::BadFileNameOrNumber);
        EXPECT_EQ(Catch([&] { layer.Close(number); }).number, err::BadFileNameOrNumber);
    }
    EXPECT_EQ(Catch([&] { layer.ReadByte(5, 1, byte); }).number, err::BadFileNameOrNumber);
    EXPECT_EQ(Catch([&] { layer.WriteText(5, 1, "x"); }).number, err::BadFileNameOrNumber);
    EXPECT_EQ(Catch([&] { layer.Length(5); }).number, err::BadFileNameOrNumber);
    EXPECT_EQ(Catch([&] { layer.Flush(5); }).number, err::BadFileNameOrNumber);

    const std::string other = Beside("other.bin");
    layer.Open(511, image, OpenMode::ReadOnly);
    EXPECT_EQ(Catch([&] { layer.Open(511, other, OpenMode::ReadOnly); }).number,
              err::FileAlreadyOpen);
    EXPECT_EQ(layer.Length(511), Size); // still the first file
    EXPECT_EQ(Catch([&] { layer.Open(2, Beside("gone.bin", false), OpenMode::ReadOnly); }).number,
              err::FileNotFound);
    EXPECT_NO_THROW(layer.Open(2, other, OpenMode::ReadOnly)); // a failed open holds nothing
}

TEST_F(Win32FileLayerIo, CloseFreesTheNumberAndIsHarmlessTwice) {
    EXPECT_NO_THROW(layer.Close(7));
    layer.Open(7, image, OpenMode::ReadWrite);
    layer.Close(7);
    EXPECT_NO_THROW(layer.Close(7));
    EXPECT_EQ(Catch([&] { layer.Length(7); }).number, err::BadFileNameOrNumber);
    EXPECT_NO_THROW(layer.Open(7, image, OpenMode::ReadWrite));
}

TEST_F(Win32FileLayerKinds, ExistsOnlyForDiskFiles) {
    fs::create_directory(file.Folder() / "folder");
    EXPECT_TRUE(layer.Exists(image));
    EXPECT_TRUE(layer.Exists("\\\\?\\" + image));
    // Names that only start like devices are files.
    for (const char* name : {"COM10.bin", "console.bin", "nul-image.bin", "LPT.bin"}) {
        EXPECT_TRUE(layer.Exists(Beside(name))) << name;
    }
    EXPECT_FALSE(layer.Exists(Beside("folder", false)));
    EXPECT_FALSE(layer.Exists(Beside("missing.bin", false)));
    EXPECT_FALSE(layer.Exists(Beside("no\\such.bin", false)));
    EXPECT_FALSE(layer.Exists(""));
    for (const std::string& device :
         {std::string("NUL"), std::string("con"), std::string("CONOUT$"), std::string("aux .bin"),
          std::string("C:nul"), Beside("COM1.txt", false), Beside("lpt9.bin.bak", false),
          Beside("nul.", false), "\\\\?\\" + Beside("NUL", false), std::string("\\\\.\\NUL"),
          std::string("//./nul"), std::string("\\\\?\\GLOBALROOT\\Device\\Null"),
          std::string("\\\\.\\pipe\\koravel"), std::string("\\\\server\\PIPE\\koravel"),
          std::string("Z:\\dev\\null")}) {
        EXPECT_FALSE(layer.Exists(device)) << device;
    }
}

TEST_F(Win32FileLayerKinds, HiddenAndSystemFilesExist) {
    const std::string hidden = Beside("hidden.bin");
    const std::string system = Beside("system.bin");
    const auto set = [](const std::string& path, DWORD attributes) {
        const std::wstring wide = *win32::WideFromUtf8(path);
        return ::SetFileAttributesW(wide.c_str(), attributes) &&
               (::GetFileAttributesW(wide.c_str()) & attributes) == attributes;
    };
    if (!set(hidden, FILE_ATTRIBUTE_HIDDEN) ||
        !set(system, FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN)) {
        GTEST_SKIP() << "the file system here does not keep the hidden and system attributes";
    }
    EXPECT_TRUE(layer.Exists(hidden));
    EXPECT_TRUE(layer.Exists(system));
    EXPECT_NO_THROW(layer.Open(1, hidden, OpenMode::ReadWrite));
    EXPECT_NO_THROW(layer.Open(2, system, OpenMode::ReadOnly));
}

TEST_F(Win32FileLayerKinds, OpenTreatsWhatIsNotADiskFileAsMissing) {
    fs::create_directory(file.Folder() / "folder");
    for (const OpenMode mode : {OpenMode::ReadOnly, OpenMode::ReadWrite}) {
        // A folder, refused by Windows as "access denied", is not a locked file.
        for (const std::string& path :
             {Beside("folder", false), std::string("NUL"), std::string("CON"),
              Beside("COM1.txt", false), std::string("\\\\.\\NUL"),
              std::string("\\\\?\\GLOBALROOT\\Device\\Null")}) {
            EXPECT_EQ(Catch([&] { layer.Open(1, path, mode); }).number, err::FileNotFound) << path;
        }
        if (UnderWine()) { // passes the name checks: the handle's type refuses it
            EXPECT_EQ(Catch([&] { layer.Open(1, "Z:\\dev\\null", mode); }).number,
                      err::FileNotFound);
        }
    }
}

TEST_F(Win32FileLayerKinds, BadNamesAndMissingFolders) {
    // The names that a lenient conversion would make of the bad ones exist: neither is opened.
    Beside("image\xEF\xBF\xBD.bin");                                     // U+FFFD
    const std::string notUtf8 = Utf8(file.Folder()) + "\\image\xE9.bin"; // a Latin-1 é
    for (const std::string& path : {notUtf8, image + std::string(1, '\0') + "x"}) {
        EXPECT_EQ(Catch([&] { layer.Open(1, path, OpenMode::ReadOnly); }).number,
                  err::BadFileNameOrNumber);
        EXPECT_FALSE(layer.Exists(path));
    }
    EXPECT_EQ(Catch([&] { layer.Open(1, "", OpenMode::ReadOnly); }).number, err::FileNotFound);
    for (const std::string& path :
         {Beside("no\\such.bin", false), image + "\\x", Beside("a<b.bin", false)}) {
        EXPECT_EQ(Catch([&] { layer.Open(1, path, OpenMode::ReadOnly); }).number, err::PathNotFound)
            << path;
    }
}

TEST_F(Win32FileLayerKinds, NonAsciiNamesRoundTrip) {
    TempFile named(MakeFlashImage(), "r\xC3\xA9gion-\xC3\xB1-\xE6\x97\xA5.bin"); // é, ñ, 日
    const std::string path = named.PathText();
    ASSERT_TRUE(layer.Exists(path));
    layer.Open(1, path, OpenMode::ReadWrite);
    layer.WriteText(1, SettingOffsets[0] + 1, "E");
    std::uint8_t byte = 0;
    ASSERT_TRUE(layer.ReadByte(1, SettingOffsets[0] + 1, byte));
    EXPECT_EQ(byte, 'E');
    layer.Close(1);
    EXPECT_EQ(named.Read()[SettingOffsets[0]], 'E');
    EXPECT_EQ(std::distance(fs::directory_iterator(named.Folder()), fs::directory_iterator()), 1);
}

// Whatever another program opened the file for, and however it shares it,
// writing is refused as long as it has it open; reading only where it shares
// reading. Once it lets go, the file is as it was and can be written.
TEST_F(Win32FileLayerSharing, AnyOtherOpenRefusesWritingUntilReleased) {
    using Sharing = ShareHolderProcess::Sharing;
    struct Case {
        Sharing sharing;
        const char* what;
        bool readable;
        char written; // a new value each time, so that each write shows
    };
    for (const Case& c : {Case{Sharing::None, "reads and writes, sharing nothing", false, '7'},
                          Case{Sharing::Read, "reads and writes, sharing reading", true, '8'},
                          Case{Sharing::Reader, "only reads, sharing everything", true, '9'}}) {
        SCOPED_TRACE(c.what);
        const Bytes before = file.Read();
        ShareHolderProcess holder(KORAVEL_SHARE_HOLDER, file.Path(), c.sharing);
        ASSERT_TRUE(holder.Held()) << holder.Output();
        const Caught writing = Catch([&] { layer.Open(1, image, OpenMode::ReadWrite); });
        EXPECT_EQ(writing.number, err::PathFileAccess);
        EXPECT_EQ(writing.description,
                  "Path/File access error: " + win32::SystemMessageText(ERROR_SHARING_VIOLATION));
        EXPECT_TRUE(layer.Exists(image)); // held, but there
        const Caught reading = Catch([&] { layer.Open(2, image, OpenMode::ReadOnly); });
        EXPECT_EQ(reading.number, c.readable ? 0 : err::PathFileAccess);
        layer.Close(2);

        EXPECT_EQ(holder.Release(), 0u);
        EXPECT_EQ(file.Read(), before);
        ASSERT_NO_THROW(layer.Open(1, image, OpenMode::ReadWrite));
        layer.WriteText(1, SettingOffsets[0] + 1, std::string(1, c.written));
        layer.Close(1);
        EXPECT_EQ(file.Read()[SettingOffsets[0]], c.written);
    }
}

TEST_F(Win32FileLayerSharing, OurWritingHandleSharesNothingUntilClosed) {
    layer.Open(1, image, OpenMode::ReadWrite);
    const auto openWith = [&](DWORD access) {
        win32::UniqueFile other(::CreateFileW(
            file.Path().c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
            nullptr, OPEN_EXISTING, 0, nullptr));
        return other ? ERROR_SUCCESS : ::GetLastError();
    };
    // Even a program that would share everything is kept out, a reader too.
    EXPECT_EQ(openWith(GENERIC_WRITE), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(openWith(GENERIC_READ), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    for (const auto sharing : {ShareHolderProcess::Sharing::None, ShareHolderProcess::Sharing::Read,
                               ShareHolderProcess::Sharing::Reader}) {
        ShareHolderProcess holder(KORAVEL_SHARE_HOLDER, file.Path(), sharing);
        EXPECT_FALSE(holder.Held()) << holder.Output();
        EXPECT_EQ(holder.Release(), 1u) << holder.Output();
    }
    layer.Close(1);
    ShareHolderProcess holder(KORAVEL_SHARE_HOLDER, file.Path());
    EXPECT_TRUE(holder.Held()) << holder.Output();
}

TEST_F(Win32FileLayerSharing, OurReadingHandleLetsAnotherProgramWrite) {
    layer.Open(1, image, OpenMode::ReadOnly);
    ShareHolderProcess holder(KORAVEL_SHARE_HOLDER, file.Path(), ShareHolderProcess::Sharing::Read);
    EXPECT_TRUE(holder.Held()) << holder.Output();
    std::uint8_t byte = 0;
    EXPECT_TRUE(layer.ReadByte(1, Size, byte));
}

TEST_F(Win32FileLayerSharing, DestroyingTheLayerClosesItsFiles) {
    {
        Win32FileLayer gone;
        gone.Open(3, image, OpenMode::ReadWrite);
        gone.Open(4, Beside("other.bin"), OpenMode::ReadOnly);
    }
    for (const fs::path& path : {file.Path(), file.Folder() / "other.bin"}) {
        ShareHolderProcess holder(KORAVEL_SHARE_HOLDER, path);
        EXPECT_TRUE(holder.Held()) << Utf8(path) << ": " << holder.Output();
    }
}

TEST_F(Win32FileLayerAccess, AReadOnlyFileIsRefusedForWriting) {
    const std::wstring wide = file.Path().wstring();
    ASSERT_TRUE(::SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_READONLY));
    struct Clear { // or the folder could not be removed
        const std::wstring& path;
        ~Clear() { ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL); }
    } clear{wide};
    win32::UniqueFile probe(::CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
    if (probe) {
        GTEST_SKIP() << "this system lets the user write to a read-only file (Wine run as root "
                        "keeps the attribute as Unix permission bits, which root bypasses)";
    }
    const Bytes before = file.Read();
    const Caught refused = Catch([&] { layer.Open(1, image, OpenMode::ReadWrite); });
    EXPECT_EQ(refused.number, err::PermissionDenied); // not blamed on another program
    EXPECT_NE(refused.description.find("\"Read-only\""), std::string::npos) << refused.description;
    EXPECT_NO_THROW(layer.Open(2, image, OpenMode::ReadOnly));
    layer.Close(2);
    EXPECT_EQ(file.Read(), before);
}

TEST(Win32Error, DescriptionsCarryTheSystemsText) {
    const std::string text = win32::SystemMessageText(ERROR_FILE_NOT_FOUND);
    ASSERT_FALSE(text.empty());
    EXPECT_NE(text, "error 2");
    EXPECT_EQ(std::string("\r\n \t").find(text.back()), std::string::npos) << "[" << text << "]";
    EXPECT_EQ(win32::Win32FileError(ERROR_FILE_NOT_FOUND).Description(), "File not found: " + text);
    // Texts with %1 in them come whole instead of failing.
    EXPECT_NE(win32::SystemMessageText(ERROR_BAD_EXE_FORMAT).find("%1"), std::string::npos);
    EXPECT_EQ(win32::SystemMessageText(0x2000ABCD), "error 536914893");
}

// Only another program's hold on the file is 75. A file that may not be
// changed is 70: for reading the description only names the cause, which
// stays true for Select; for writing it also says what to do.
TEST(Win32Error, AFileThatMayNotBeChangedIsNotBlamedOnAnotherProgram) {
    struct Case {
        DWORD code;
        DWORD attributes;
        int number;
        const char* readingSays;
        const char* writingSays;
    };
    constexpr DWORD Plain = FILE_ATTRIBUTE_ARCHIVE;
    constexpr DWORD ReadOnly = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY;
    const std::string sharing = win32::SystemMessageText(ERROR_SHARING_VIOLATION);
    const std::string lock = win32::SystemMessageText(ERROR_LOCK_VIOLATION);
    for (const Case& c : {
             Case{ERROR_SHARING_VIOLATION, Plain, err::PathFileAccess, sharing.c_str(),
                  sharing.c_str()},
             Case{ERROR_LOCK_VIOLATION, Plain, err::PathFileAccess, lock.c_str(), lock.c_str()},
             Case{ERROR_ACCESS_DENIED, Plain, err::PermissionDenied, "permissions",
                  "Copy it to a folder of your own"},
             Case{ERROR_ACCESS_DENIED, win32::UnknownAttributes, err::PermissionDenied,
                  "permissions", "may not change this file"},
             Case{ERROR_ACCESS_DENIED, ReadOnly, err::PermissionDenied, "permissions",
                  "Properties, clear \"Read-only\""},
             Case{ERROR_WRITE_PROTECT, ReadOnly, err::PermissionDenied, "write-protected",
                  "write-protected (a locked memory card"},
         }) {
        SCOPED_TRACE(std::to_string(c.code) + " with attributes " + std::to_string(c.attributes));
        const FileError reading = win32::Win32FileError(c.code);
        const FileError writing = win32::Win32WriteError(c.code, c.attributes);
        EXPECT_EQ(reading.Number(), c.number);
        EXPECT_EQ(writing.Number(), c.number);
        EXPECT_NE(reading.Description().find(c.readingSays), std::string::npos)
            << reading.Description();
        EXPECT_NE(writing.Description().find(c.writingSays), std::string::npos)
            << writing.Description();
        if (c.number == err::PermissionDenied) {
            EXPECT_EQ(writing.Description().rfind("Permission denied: ", 0), 0u);
            EXPECT_EQ(reading.Description().find("Patch"), std::string::npos)
                << "reading says what to do for a patch: " << reading.Description();
        }
    }
}

TEST(Win32Error, NamesTheNumbersForFailuresTooRareToProvoke) {
    const std::pair<DWORD, int> cases[] = {
        {ERROR_BAD_PATHNAME, err::PathNotFound},
        {ERROR_FILENAME_EXCED_RANGE, err::PathNotFound},
        {ERROR_DISK_FULL, err::DiskFull},
        {ERROR_HANDLE_DISK_FULL, err::DiskFull},
        {ERROR_TOO_MANY_OPEN_FILES, err::TooManyFiles},
        {ERROR_CRC, err::DeviceIO},
    };
    for (const auto& [code, number] : cases) {
        EXPECT_EQ(win32::Win32FileError(code).Number(), number) << code;
    }
    EXPECT_EQ(win32::Win32FileError(ERROR_CRC).Description(),
              "Device I/O error: " + win32::SystemMessageText(ERROR_CRC));
}

} // namespace
