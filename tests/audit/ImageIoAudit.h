#pragma once

#include "tests/audit/StraceLog.h"

#include <cstdint>
#include <string>
#include <vector>

namespace koravel::audit {

// The image as a traced run names it: the path it was given, and the path the
// kernel reports for its descriptors (symlinks resolved).
struct ImagePaths {
    std::string given;
    std::string resolved;
};

// The calls that touch the image, in order: by its path, or through any
// descriptor open on it (the -y annotation follows dup'ed descriptors too).
std::vector<Syscall> CallsOnImage(const std::vector<Syscall>& calls, const ImagePaths& image);

// Each finding is one way the traced command handled the image other than it
// must; none means the run was clean.
//
// Select: one O_RDONLY open, three 1-byte preads of the primary copy's codes in
// order, a close, and nothing else that reads, writes, maps, locks or syncs.
std::vector<std::string> AuditSelect(const std::vector<Syscall>& imageCalls);

// Patch: one O_RDWR open without O_TRUNC or O_CREAT, a LOCK_EX|LOCK_NB flock
// and a write record lock on the whole file (F_OFD_SETLK) before any write, a
// write lease taken and given back, 1-byte preads of the console's name and then of the six
// codes, all before the first write and nothing else read, six 1-byte pwrites
// at the six codes' offsets in order, one fsync or fdatasync after them, a close.
std::vector<std::string> AuditPatch(const std::vector<Syscall>& imageCalls);

// The offsets (0-based) the commands touch: region, language, broadcast, then
// the mirror's.
inline constexpr std::int64_t SettingOffsets[6] = {0x1A002, 0x1A003, 0x1A004,
                                                   0x1A0A2, 0x1A0A3, 0x1A0A4};

// What Patch reads before it writes, in order: the nine letters of "Dreamcast"
// from 0x1A005, then the six codes.
inline constexpr std::int64_t PatchReadOffsets[15] = {0x1A005, 0x1A006, 0x1A007, 0x1A008, 0x1A009,
                                                      0x1A00A, 0x1A00B, 0x1A00C, 0x1A00D, 0x1A002,
                                                      0x1A003, 0x1A004, 0x1A0A2, 0x1A0A3, 0x1A0A4};

} // namespace koravel::audit
