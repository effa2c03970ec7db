// Another Windows program holding a file, as a test needs one:
//
//   koravel_share_holder.exe <path> [none|read|reader]
//
// Opens the file for reading and writing, sharing nothing ("none", the default)
// or reading only ("read"); or, as a viewer or an emulator does, for reading
// only, sharing reading and writing ("reader"). Prints "held" once it holds
// it, then keeps it until its standard input ends (or 120 s pass, so a lost
// test cannot leave it behind). Exits 0 after closing the file, 1 when it
// cannot hold it, 2 on a wrong command line.
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/Utf16.h"
#include "platform/win32/Win32Error.h"
#include "platform/win32/WinApi.h"

#include <cstdio>
#include <cwchar>

#include <fcntl.h>
#include <io.h>

namespace {

constexpr DWORD HoldAtMostMs = 120'000;

// Reads standard input to its end; the main thread waits for this with a timeout.
DWORD WINAPI DrainInput(void*) {
    const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    char buffer[256];
    DWORD got = 0;
    while (input != nullptr && input != INVALID_HANDLE_VALUE &&
           ::ReadFile(input, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    }
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    using namespace koravel::win32;

    DWORD access = GENERIC_READ | GENERIC_WRITE;
    DWORD sharing = 0;
    if (argc == 3 && std::wcscmp(argv[2], L"read") == 0) {
        sharing = FILE_SHARE_READ;
    } else if (argc == 3 && std::wcscmp(argv[2], L"reader") == 0) {
        access = GENERIC_READ;
        sharing = FILE_SHARE_READ | FILE_SHARE_WRITE;
    } else if (argc < 2 || argc > 3 || (argc == 3 && std::wcscmp(argv[2], L"none") != 0)) {
        std::fputs("usage: koravel_share_holder <path> [none|read|reader]\n", stderr);
        return 2;
    }

    UniqueFile file(::CreateFileW(argv[1], access, sharing, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD code = ::GetLastError();
        std::fprintf(stderr, "cannot hold %s: error %lu, %s\n", Utf8FromWide(argv[1]).c_str(),
                     static_cast<unsigned long>(code), SystemMessageText(code).c_str());
        return 1;
    }
    // Watching the input needs a thread: without one the file would be held blind.
    UniqueKernelHandle drain(::CreateThread(nullptr, 0, DrainInput, nullptr, 0, nullptr));
    if (!drain) {
        const DWORD code = ::GetLastError();
        std::fprintf(stderr, "cannot watch the standard input: %s\n",
                     SystemMessageText(code).c_str());
        return 1;
    }
    _setmode(_fileno(stdout), _O_BINARY); // "held\n" exactly, not "held\r\n"
    std::fputs("held\n", stdout);
    std::fflush(stdout);

    ::WaitForSingleObject(drain.Get(), HoldAtMostMs);
    file.Reset();
    return 0; // ends the reading thread too, should it still wait
}
