#pragma once

#include <string>

namespace koravel::testing {

// Sets or clears the file system's immutable flag on a file, as `chattr +i`
// does. False where the file system or the user cannot.
bool SetImmutable(const std::string& path, bool on);

} // namespace koravel::testing
