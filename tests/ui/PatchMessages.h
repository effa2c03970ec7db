#pragma once

#include "tests/support/CommandFixture.h"

namespace koravel::testing {

inline const ShownMessage EmptyPathMessage{"Don't forget to select the flash first...",
                                           MsgIcon::Critical, "Error"};
inline const ShownMessage MissingMessage{
    "Make sure the flash you selected actually exists i.e. it doesn't.", MsgIcon::Critical,
    "Error"};
inline const ShownMessage HeldMessage{
    "Cannot patch the flash file because it's opened in another program.", MsgIcon::Critical,
    "Error"};

} // namespace koravel::testing
