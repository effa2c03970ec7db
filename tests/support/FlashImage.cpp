#include "tests/support/FlashImage.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace koravel::testing {
namespace {

void WriteFactoryCopy(Bytes& image, std::size_t start, char region, char language, char broadcast) {
    const std::string head = std::string("00") + region + language + broadcast + "Dreamcast  ";
    std::memcpy(image.data() + start, head.data(), head.size());
    // A console ID, its 8-bit sum and the sum's complement, as the console keeps them.
    const std::uint8_t id[6] = {0x8C, 0x13, 0x02, 0x5E, 0xA7, 0x41};
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < 6; ++i) {
        image[start + 0x58 + i] = id[i];
        sum = static_cast<std::uint8_t>(sum + id[i]);
    }
    image[start + 0x57] = sum;
    image[start + 0x56] = static_cast<std::uint8_t>(~sum);
}

} // namespace

Bytes MakeFlashImage(char region, char language, char broadcast) {
    Bytes image(FlashSize, 0xFF);
    WriteFactoryCopy(image, FactoryPartition, region, language, broadcast);
    WriteFactoryCopy(image, FactoryPartition + MirrorDistance, region, language, broadcast);
    return image;
}

Bytes WithErasedMirror(Bytes image) {
    std::fill(image.begin() + FactoryPartition + MirrorDistance,
              image.begin() + FactoryPartition + 2 * MirrorDistance, 0xFF);
    return image;
}

Bytes WithDifferentMirror(Bytes image, char region, char language, char broadcast) {
    WriteFactoryCopy(image, FactoryPartition + MirrorDistance, region, language, broadcast);
    return image;
}

std::string Utf8(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

TempFile::TempFile(const Bytes& contents, const std::string& name) {
    // A fresh folder with a random name: create_directory fails on one that exists.
    std::random_device seed;
    std::mt19937_64 random(seed());
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100 && folder_.empty(); ++attempt) {
        const std::filesystem::path candidate =
            base / ("koravel-test-" + std::to_string(random() % 1000000000000ULL));
        std::error_code error;
        if (std::filesystem::create_directory(candidate, error)) {
            folder_ = candidate;
        }
    }
    if (folder_.empty()) {
        throw std::runtime_error("cannot make a temporary folder");
    }
    const std::u8string utf8Name(name.begin(), name.end());
    path_ = folder_ / std::filesystem::path(utf8Name);
    Write(contents);
}

TempFile::~TempFile() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

Bytes TempFile::Read() const {
    return ReadFile(path_);
}

void TempFile::Write(const Bytes& contents) const {
    WriteFile(path_, contents);
}

Bytes ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path.string());
    }
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::filesystem::path& path, const Bytes& contents) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(contents.data()),
              static_cast<std::streamsize>(contents.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

std::vector<std::size_t> DifferingOffsets(const Bytes& a, const Bytes& b) {
    if (a.size() != b.size()) {
        throw std::runtime_error("images differ in length");
    }
    std::vector<std::size_t> offsets;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i]) {
            offsets.push_back(i);
        }
    }
    return offsets;
}

std::vector<std::size_t> OffsetsChangedBesidesSettings(const Bytes& a, const Bytes& b) {
    std::vector<std::size_t> offsets = DifferingOffsets(a, b);
    std::erase_if(offsets, [](std::size_t offset) {
        return std::find(std::begin(SettingOffsets), std::end(SettingOffsets), offset) !=
               std::end(SettingOffsets);
    });
    return offsets;
}

} // namespace koravel::testing
