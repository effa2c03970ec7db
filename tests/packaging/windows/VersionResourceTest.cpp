// The version resources of Koravel.exe and of its installer, read through the
// same calls that Explorer's Properties page and "Apps and features" use.
#include <windows.h>
#include <winver.h>

#include <gtest/gtest.h>

#include <cwchar>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

// From CMake: the programs as Wine sees them, and the project version.
constexpr const wchar_t* KoravelExe = L"" KORAVEL_TEST_EXE;
constexpr const wchar_t* Installer = L"" KORAVEL_TEST_INSTALLER;
constexpr const wchar_t* ProjectVersion = L"" KORAVEL_TEST_VERSION;

// For failure messages; every text here is ASCII.
std::string Narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

// "0.3.0" as the fixed version's two DWORDs: 0.3 and 0.0.
std::pair<DWORD, DWORD> FixedVersionOf(const std::wstring& version) {
    DWORD numbers[4] = {};
    const wchar_t* at = version.c_str();
    for (DWORD& number : numbers) {
        wchar_t* end = nullptr;
        number = std::wcstoul(at, &end, 10);
        if (*end != L'.')
            break;
        at = end + 1;
    }
    return {MAKELONG(numbers[1], numbers[0]), MAKELONG(numbers[3], numbers[2])};
}

std::wstring Hex4(WORD value) {
    constexpr wchar_t Digits[] = L"0123456789abcdef";
    std::wstring text(4, L'0');
    for (int i = 3; i >= 0; --i, value >>= 4)
        text[i] = Digits[value & 0xF];
    return text;
}

// A program's whole version resource, as GetFileVersionInfoW copies it.
class VersionInfo {
  public:
    explicit VersionInfo(const wchar_t* path) {
        DWORD unused = 0;
        const DWORD size = ::GetFileVersionInfoSizeW(path, &unused);
        if (size == 0)
            return;
        data_.resize(size);
        if (!::GetFileVersionInfoW(path, 0, size, data_.data()))
            data_.clear();
    }

    bool Empty() const { return data_.empty(); }

    const VS_FIXEDFILEINFO* Fixed() const {
        void* value = nullptr;
        UINT length = 0;
        if (Empty() || !::VerQueryValueW(data_.data(), L"\\", &value, &length) ||
            length < sizeof(VS_FIXEDFILEINFO))
            return nullptr;
        return static_cast<const VS_FIXEDFILEINFO*>(value);
    }

    // The language and code page pairs; Explorer shows the strings of the first.
    std::vector<std::pair<WORD, WORD>> Translations() const {
        void* value = nullptr;
        UINT length = 0;
        std::vector<std::pair<WORD, WORD>> found;
        if (Empty() ||
            !::VerQueryValueW(data_.data(), L"\\VarFileInfo\\Translation", &value, &length))
            return found;
        const WORD* words = static_cast<const WORD*>(value);
        for (UINT i = 0; i + 1 < length / sizeof(WORD); i += 2)
            found.emplace_back(words[i], words[i + 1]);
        return found;
    }

    std::optional<std::wstring> String(const std::wstring& name) const {
        const auto translations = Translations();
        if (translations.empty())
            return std::nullopt;
        const std::wstring path = L"\\StringFileInfo\\" + Hex4(translations[0].first) +
                                  Hex4(translations[0].second) + L"\\" + name;
        void* value = nullptr;
        UINT length = 0;
        if (!::VerQueryValueW(data_.data(), path.c_str(), &value, &length) || length == 0)
            return std::nullopt;
        return std::wstring(static_cast<const wchar_t*>(value));
    }

  private:
    std::vector<unsigned char> data_;
};

void ExpectString(const VersionInfo& info, const std::wstring& name, const std::wstring& want) {
    const auto got = info.String(name);
    ASSERT_TRUE(got.has_value()) << "no " << Narrow(name);
    EXPECT_EQ(Narrow(*got), Narrow(want)) << Narrow(name);
}

void ExpectFixedVersion(const VersionInfo& info) {
    const VS_FIXEDFILEINFO* fixed = info.Fixed();
    ASSERT_NE(fixed, nullptr) << "no fixed version";
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    const auto [high, low] = FixedVersionOf(ProjectVersion);
    EXPECT_EQ(fixed->dwFileVersionMS, high);
    EXPECT_EQ(fixed->dwFileVersionLS, low);
    EXPECT_EQ(fixed->dwProductVersionMS, high);
    EXPECT_EQ(fixed->dwProductVersionLS, low);
}

TEST(KoravelExeVersion, StringsNameTheProgramItsMakersAndTheProjectVersion) {
    const VersionInfo info(KoravelExe);
    ASSERT_FALSE(info.Empty()) << "no version resource, error " << ::GetLastError();
    const auto translations = info.Translations();
    ASSERT_FALSE(translations.empty()) << "no translation: Explorer would show no strings";
    EXPECT_EQ(translations[0], (std::pair<WORD, WORD>{0x0409, 1200})) << "US English, UTF-16";

    ExpectString(info, L"ProductName", L"Koravel");
    ExpectString(info, L"CompanyName", L"The Koravel developers");
    ExpectString(info, L"OriginalFilename", L"Koravel.exe");
    ExpectString(info, L"FileVersion", ProjectVersion);
    ExpectString(info, L"ProductVersion", ProjectVersion);

    // Task Manager names the running program by its description.
    const auto description = info.String(L"FileDescription");
    ASSERT_TRUE(description.has_value()) << "no FileDescription";
    EXPECT_EQ(description->rfind(L"Koravel", 0), 0u) << Narrow(*description);
    const auto copyright = info.String(L"LegalCopyright");
    ASSERT_TRUE(copyright.has_value()) << "no LegalCopyright";
    EXPECT_NE(copyright->find(L"The Koravel developers"), std::wstring::npos) << Narrow(*copyright);
}

TEST(KoravelExeVersion, FixedVersionIsTheProjectVersionOfAReleasedApp) {
    const VersionInfo info(KoravelExe);
    ASSERT_FALSE(info.Empty()) << "no version resource, error " << ::GetLastError();
    ExpectFixedVersion(info);
    const VS_FIXEDFILEINFO* fixed = info.Fixed();
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
    EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS_NT_WINDOWS32));
    EXPECT_EQ(fixed->dwFileFlags & fixed->dwFileFlagsMask, 0u) << "debug or pre-release flags set";
}

TEST(InstallerVersion, NamesKoravelAndTheProjectVersion) {
    const VersionInfo info(Installer);
    ASSERT_FALSE(info.Empty()) << "no version resource, error " << ::GetLastError();
    ExpectString(info, L"ProductName", L"Koravel");
    ExpectString(info, L"CompanyName", L"The Koravel developers");
    ExpectString(info, L"ProductVersion", ProjectVersion);
    ExpectString(info, L"FileVersion", ProjectVersion);
    ExpectFixedVersion(info);
}

} // namespace
