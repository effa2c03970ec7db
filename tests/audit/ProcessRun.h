#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace koravel::audit {

struct ProcessResult {
    int exitCode = -1; // -1 when it could not start or did not exit normally
    std::string out;
    std::string err;
};

// Runs `argv` to its end with no input, its output and errors kept in files in
// `folder` and returned.
ProcessResult RunProcess(const std::vector<std::string>& argv, const std::filesystem::path& folder);

// The full path of `program` as the shell would find it in PATH.
std::optional<std::string> FindInPath(const std::string& program);

std::string ReadText(const std::filesystem::path& path);

} // namespace koravel::audit
