// Times Select and Patch through the window's handlers with the real file layer,
// on a 128 KiB image and on a 4 GiB sparse one, interleaved so that both meet
// the same machine. Each command touches a few bytes at fixed offsets, so its
// cost should not depend on the image's size.
//
//   koravel_file_bench [ITERATIONS]

#include "platform/modCommonDialog.h"
#include "platform/posix/PosixFileLayer.h"
#include "tests/support/Fakes.h"
#include "tests/support/FlashImage.h"
#include "ui/FormHandlers.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/stat.h>

namespace {

using namespace koravel;
using Clock = std::chrono::steady_clock;

constexpr std::uintmax_t LargeSize = std::uintmax_t{4} << 30;

// The handlers on a window without a toolkit and recorded message boxes.
struct Harness {
    PosixFileLayer files;
    testing::FakeFormView view;
    testing::RecordingMessageBox messages;
    testing::ScriptedOpenDialog dialog;
    modCommonDialog dialogs{dialog, messages};
    FormHandlers handlers{view, files, messages, dialogs};
};

struct Image {
    const char* label;
    std::string path;
    std::vector<double> select; // microseconds per run
    std::vector<double> patch;
};

double Micros(Clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

void Fail(const char* what, const Image& image) {
    std::fprintf(stderr, "%s failed on the %s image\n", what, image.label);
    std::exit(1);
}

void TimeSelect(Harness& h, Image& image) {
    h.dialog.answers.push_back(image.path);
    const auto start = Clock::now();
    h.handlers.cmdFlash_Click();
    image.select.push_back(Micros(Clock::now() - start));
    // Checked outside the timing: a run that warned or failed does not count.
    if (!h.messages.shown.empty() || h.view.flash != image.path) {
        Fail("Select", image);
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
        Fail("Patch", image);
    }
    h.messages.shown.clear();
}

double Quantile(std::vector<double> values, double q) {
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(q * static_cast<double>(values.size() - 1) + 0.5)];
}

long long AllocatedKilobytes(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_blocks) / 2 : -1;
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
    std::filesystem::resize_file(large.Path(), LargeSize); // a hole after the first 128 KiB

    Image images[] = {{"128 KiB", small.Path().string(), {}, {}},
                      {"4 GiB sparse", large.Path().string(), {}, {}}};
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
        for (const auto& [command, times] :
             {std::pair{"Select", &image.select}, std::pair{"Patch", &image.patch}}) {
            std::printf("%-13s %-7s %6zu %11.1f %9.1f %9.1f %14lld\n", image.label, command,
                        times->size(), Quantile(*times, 0.5), Quantile(*times, 0.1),
                        Quantile(*times, 0.9), AllocatedKilobytes(image.path));
        }
    }
    const double selectRatio = Quantile(images[1].select, 0.5) / Quantile(images[0].select, 0.5);
    const double patchRatio = Quantile(images[1].patch, 0.5) / Quantile(images[0].patch, 0.5);
    std::printf("median 4 GiB / 128 KiB: Select %.2f, Patch %.2f\n", selectRatio, patchRatio);
    return 0;
}
