// Times Select and Patch through the window's handlers with the real
// Win32FileLayer, on a 128 KiB image and on a 4 GiB sparse one, interleaved so
// that both meet the same machine. Each command touches a few bytes at fixed
// offsets, so its cost should not depend on the image's size.
//
//   koravel_file_bench [ITERATIONS]

#include "platform/modCommonDialog.h"
#include "platform/win32/Win32FileLayer.h"
#include "tests/support/Fakes.h"
#include "tests/support/FlashImage.h"
#include "ui/FormHandlers.h"

#include <windows.h>

#include <winioctl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using namespace koravel;
using Clock = std::chrono::steady_clock;

constexpr LONGLONG LargeSize = LONGLONG{4} << 30;

// The handlers on a window without a toolkit and recorded message boxes.
struct Harness {
    Win32FileLayer files;
    testing::FakeFormView view;
    testing::RecordingMessageBox messages;
    testing::ScriptedOpenDialog dialog;
    modCommonDialog dialogs{dialog, messages};
    FormHandlers handlers{view, files, messages, dialogs};
};

struct Image {
    const char* label;
    std::filesystem::path file;
    std::string path;           // UTF-8, as the window holds it
    std::vector<double> select; // microseconds per run
    std::vector<double> patch;
};

double Micros(Clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

[[noreturn]] void Fail(const char* what, const char* label) {
    std::fprintf(stderr, "%s failed on the %s image (error %lu)\n", what, label, ::GetLastError());
    std::exit(1);
}

// Marks the file sparse and moves its end out to `size`, leaving a hole after
// what it holds. Under Wine the end moves with ftruncate, which makes a hole
// on the Linux file system as well.
void GrowSparse(const std::filesystem::path& file, LONGLONG size) {
    HANDLE handle = ::CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        Fail("Opening", "4 GiB");
    }
    DWORD returned = 0;
    // Wine may refuse the control; the hole comes from SetEndOfFile either way.
    ::DeviceIoControl(handle, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
    LARGE_INTEGER end{};
    end.QuadPart = size;
    if (!::SetFilePointerEx(handle, end, nullptr, FILE_BEGIN) || !::SetEndOfFile(handle)) {
        Fail("Growing", "4 GiB");
    }
    ::CloseHandle(handle);
}

// The file's length and what it takes on disk, as Windows reports them.
std::pair<long long, long long> LengthAndAllocated(const std::filesystem::path& file) {
    HANDLE handle = ::CreateFileW(file.c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
    FILE_STANDARD_INFO info{};
    const bool known =
        handle != INVALID_HANDLE_VALUE &&
        ::GetFileInformationByHandleEx(handle, FileStandardInfo, &info, sizeof(info));
    if (handle != INVALID_HANDLE_VALUE) {
        ::CloseHandle(handle);
    }
    return known ? std::pair{info.EndOfFile.QuadPart, info.AllocationSize.QuadPart}
                 : std::pair{-1LL, -1LL};
}

void TimeSelect(Harness& h, Image& image) {
    h.dialog.answers.push_back(image.path);
    const auto start = Clock::now();
    h.handlers.cmdFlash_Click();
    image.select.push_back(Micros(Clock::now() - start));
    // Checked outside the timing: a run that warned or failed does not count.
    if (!h.messages.shown.empty() || h.view.flash != image.path) {
        Fail("Select", image.label);
    }
    h.dialog.titles.clear();
    h.dialog.filterLists.clear();
    h.dialog.flagValues.clear();
}

void TimePatch(Harness& h, Image& image, bool europe) {
    h.view.SetFlashText(image.path);
    h.view.SetListText(ListBox::cboPatch1, europe ? "Europe" : "USA");
    const auto start = Clock::now();
    h.handlers.cmdPatch_Click();
    image.patch.push_back(Micros(Clock::now() - start));
    if (h.messages.shown.size() != 1 ||
        h.messages.shown[0].prompt != "Your flash file was patched successfully.") {
        Fail("Patch", image.label);
    }
    h.messages.shown.clear();
}

double Quantile(std::vector<double> values, double q) {
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(q * static_cast<double>(values.size() - 1) + 0.5)];
}

} // namespace

int main(int argc, char* argv[]) {
    const int iterations = argc > 1 ? std::atoi(argv[1]) : 1000;
    if (iterations < 1) {
        std::fprintf(stderr, "usage: %s [ITERATIONS]\n", argv[0]);
        return 2;
    }

    const testing::TempFile small(testing::MakeFlashImage(), "small.bin");
    const testing::TempFile large(testing::MakeFlashImage(), "large.bin");
    GrowSparse(large.Path(), LargeSize); // a hole after the first 128 KiB
    if (LengthAndAllocated(large.Path()).first != LargeSize) {
        Fail("Growing", "4 GiB");
    }

    Image images[] = {{"128 KiB", small.Path(), small.PathText(), {}, {}},
                      {"4 GiB sparse", large.Path(), large.PathText(), {}, {}}};
    Harness h;
    h.handlers.Form_Load();
    for (int i = 0; i < iterations; ++i) {
        for (Image& image : images) {
            TimeSelect(h, image);
            TimePatch(h, image, i % 2 == 0);
        }
    }

    std::printf("%-13s %-7s %6s %11s %9s %9s %14s\n", "image", "command", "runs", "median us",
                "p10 us", "p90 us", "allocated kB");
    for (const Image& image : images) {
        const long long allocated = LengthAndAllocated(image.file).second;
        for (const auto& [command, times] :
             {std::pair{"Select", &image.select}, std::pair{"Patch", &image.patch}}) {
            std::printf("%-13s %-7s %6zu %11.1f %9.1f %9.1f %14lld\n", image.label, command,
                        times->size(), Quantile(*times, 0.5), Quantile(*times, 0.1),
                        Quantile(*times, 0.9), allocated < 0 ? -1 : allocated / 1024);
        }
    }
    const double selectRatio = Quantile(images[1].select, 0.5) / Quantile(images[0].select, 0.5);
    const double patchRatio = Quantile(images[1].patch, 0.5) / Quantile(images[0].patch, 0.5);
    std::printf("median 4 GiB / 128 KiB: Select %.2f, Patch %.2f\n", selectRatio, patchRatio);
    // The fastest runs meet the least interference: their ratio moves less on a busy machine.
    std::printf("p10 4 GiB / 128 KiB: Select %.2f, Patch %.2f\n",
                Quantile(images[1].select, 0.1) / Quantile(images[0].select, 0.1),
                Quantile(images[1].patch, 0.1) / Quantile(images[0].patch, 0.1));
    return 0;
}
