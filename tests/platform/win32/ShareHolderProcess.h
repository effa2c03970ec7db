#pragma once

// Runs koravel_share_holder.exe, another Windows program that holds a file
// with a chosen share mode, for as long as this object lives (or until
// Release). Every wait is bounded: a holder that does not answer is ended.
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/Utf16.h"
#include "platform/win32/WinApi.h"

#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace koravel::testing {

class ShareHolderProcess {
  public:
    enum class Sharing {
        None,   // reads and writes, sharing nothing
        Read,   // reads and writes, sharing reading
        Reader, // only reads, sharing reading and writing: a viewer, an emulator
    };

    // `holder` is the program's path (KORAVEL_SHARE_HOLDER). Returns once the
    // holder holds the file or has given up; Held() tells which. Throws when
    // the program cannot start or does not answer in time.
    ShareHolderProcess(std::string_view holder, const std::filesystem::path& file,
                       Sharing sharing = Sharing::None) {
        std::wstring program = win32::WideForDisplay(holder);
        for (wchar_t& c : program) {
            c = c == L'/' ? L'\\' : c;
        }
        std::wstring command = Quoted(program) + L" " + Quoted(file.wstring()) + L" " +
                               (sharing == Sharing::Read     ? L"read"
                                : sharing == Sharing::Reader ? L"reader"
                                                             : L"none");

        SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        HANDLE inputRead = nullptr;
        HANDLE inputWrite = nullptr;
        HANDLE outputRead = nullptr;
        HANDLE outputWrite = nullptr;
        if (!::CreatePipe(&inputRead, &inputWrite, &inheritable, 0)) {
            Fail("CreatePipe");
        }
        win32::UniqueKernelHandle childInput(inputRead);
        input_.Reset(inputWrite);
        if (!::CreatePipe(&outputRead, &outputWrite, &inheritable, 0)) {
            Fail("CreatePipe");
        }
        win32::UniqueKernelHandle childOutput(outputWrite);
        output_.Reset(outputRead);
        // Only the child's ends go to the child, or its input would never end.
        ::SetHandleInformation(input_.Get(), HANDLE_FLAG_INHERIT, 0);
        ::SetHandleInformation(output_.Get(), HANDLE_FLAG_INHERIT, 0);

        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = childInput.Get();
        startup.hStdOutput = childOutput.Get();
        startup.hStdError = childOutput.Get(); // its complaint, for our message
        PROCESS_INFORMATION started{};
        if (!::CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, TRUE,
                              CREATE_NO_WINDOW, nullptr, nullptr, &startup, &started)) {
            Fail("CreateProcessW of the share holder");
        }
        process_.Reset(started.hProcess);
        win32::UniqueKernelHandle thread(started.hThread);
        childInput.Reset();
        childOutput.Reset();
        WaitForAnswer();
    }

    ~ShareHolderProcess() {
        try {
            Release();
        } catch (const std::exception&) {
            // Ended by force in Release; nothing more to do in a destructor.
        }
    }
    ShareHolderProcess(const ShareHolderProcess&) = delete;
    ShareHolderProcess& operator=(const ShareHolderProcess&) = delete;

    bool Held() const { return held_; }
    const std::string& Output() const { return text_; } // "held", or why not

    // Ends the holder's input, so it closes the file, and returns its exit status.
    // Throws when it does not exit in time (it is then ended by force).
    DWORD Release() {
        if (!process_) {
            return exitCode_;
        }
        input_.Reset();
        const DWORD waited = ::WaitForSingleObject(process_.Get(), 10'000);
        if (waited != WAIT_OBJECT_0) {
            ::TerminateProcess(process_.Get(), 99);
            ::WaitForSingleObject(process_.Get(), 5'000);
            process_.Reset();
            throw std::runtime_error("the share holder did not exit within 10 s");
        }
        ::GetExitCodeProcess(process_.Get(), &exitCode_);
        process_.Reset();
        return exitCode_;
    }

  private:
    // Quoted as CommandLineToArgvW reads it: backslashes double only before a quote.
    static std::wstring Quoted(const std::wstring& argument) {
        std::wstring quoted = L"\"";
        std::size_t backslashes = 0;
        for (const wchar_t c : argument) {
            if (c == L'\\') {
                ++backslashes;
                continue;
            }
            quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
            backslashes = 0;
            quoted += c;
        }
        quoted.append(2 * backslashes, L'\\');
        return quoted + L"\"";
    }

    // Called straight after the failing call, before anything can change the last error.
    [[noreturn]] static void Fail(const char* what) {
        const DWORD code = ::GetLastError();
        throw std::runtime_error(std::string(what) + " failed with error " + std::to_string(code));
    }

    // Anonymous pipes have no timed read: peek until the answer, the end, or the deadline.
    void WaitForAnswer() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        for (;;) {
            DWORD available = 0;
            if (!::PeekNamedPipe(output_.Get(), nullptr, 0, nullptr, &available, nullptr)) {
                return; // the holder is gone: it said why, or nothing
            }
            if (available > 0) {
                std::string chunk(available, '\0');
                DWORD got = 0;
                if (!::ReadFile(output_.Get(), chunk.data(), available, &got, nullptr)) {
                    return;
                }
                text_.append(chunk, 0, got);
                if (text_.find("held\n") != std::string::npos ||
                    text_.find("held\r\n") != std::string::npos) {
                    held_ = true;
                    return;
                }
                continue;
            }
            if (std::chrono::steady_clock::now() > deadline) {
                ::TerminateProcess(process_.Get(), 99);
                ::WaitForSingleObject(process_.Get(), 5'000);
                process_.Reset();
                throw std::runtime_error("the share holder gave no answer within 30 s: " + text_);
            }
            ::Sleep(10);
        }
    }

    win32::UniqueKernelHandle process_;
    win32::UniqueKernelHandle input_;
    win32::UniqueKernelHandle output_;
    std::string text_;
    bool held_ = false;
    DWORD exitCode_ = 0;
};

} // namespace koravel::testing
