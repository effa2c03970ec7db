#pragma once

#include <string>

namespace koravel::browser {

// The description of the last failed bridge call (Module.koravelError).
std::string LastError();

// Throws FileError when a bridge call returned a negative error number.
void ThrowIfFailed(double result);

} // namespace koravel::browser
