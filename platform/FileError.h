#pragma once

#include <stdexcept>
#include <string>

namespace koravel {

// A failure of a platform service, carrying the classic error number and a
// description, so that callers can single out a number (75, 70) and show both.
class FileError : public std::runtime_error {
  public:
    FileError(int number, const std::string& description)
        : std::runtime_error(description), number_(number) {}

    int Number() const noexcept { return number_; }
    std::string Description() const { return what(); }

  private:
    int number_;
};

// The classic numbers that this program raises.
namespace err {
inline constexpr int InternalError = 51;
inline constexpr int BadFileNameOrNumber = 52;
inline constexpr int FileNotFound = 53;
inline constexpr int BadFileMode = 54;
inline constexpr int FileAlreadyOpen = 55;
inline constexpr int DeviceIO = 57;
inline constexpr int DiskFull = 61;
inline constexpr int BadRecordNumber = 63;
inline constexpr int TooManyFiles = 67;
// The file may not be changed: read-only, or not allowed.
inline constexpr int PermissionDenied = 70;
inline constexpr int PathFileAccess = 75;
inline constexpr int PathNotFound = 76;
} // namespace err

} // namespace koravel
