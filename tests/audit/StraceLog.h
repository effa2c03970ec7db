#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace koravel::audit {

// One finished system call from an strace log written with -f -y -X raw: its
// arguments as strace printed them, split at the top level.
struct Syscall {
    int pid = 0;
    std::string name;
    std::vector<std::string> args;
    std::string result; // what follows " = ", e.g. "3</tmp/x/flash.bin>" or "-1 EAGAIN (...)"
    std::string line;   // the whole call, for messages
};

// Parses a log, joining each "<unfinished ...>" call with its "resumed" rest.
// Lines that are not calls (signals, exits) are left out.
std::vector<Syscall> ParseStraceLog(const std::string& text);

// The path of a descriptor that -y annotated, as in "3</tmp/x/flash.bin>".
std::optional<std::string> AnnotatedPath(const std::string& value);

// A number as -X raw prints it: decimal, negative, or 0x hexadecimal.
std::optional<std::int64_t> Number(const std::string& value);

} // namespace koravel::audit
