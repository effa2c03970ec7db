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
inline const ShownMessage NotAnImageMessage{
    "The file you selected is not a Dreamcast flash image: a flash image holds the text "
    "\"Dreamcast\" at offset 0x1A005, and this file does not. Nothing was written to it.",
    MsgIcon::Critical, "Error"};

// A patch that failed and left the image as it was.
inline ShownMessage UnchangedMessage(const std::string& error) {
    return {"Cannot patch the flash file. Nothing in it was changed.\r\n\r\n" + error,
            MsgIcon::Critical, "Error"};
}

// A patch refused because the file may not be changed.
inline ShownMessage DeniedMessage(const std::string& error) {
    return {"Cannot patch the flash file because Koravel was not allowed to write to it. Nothing "
            "in it was changed.\r\n\r\n" +
                error,
            MsgIcon::Critical, "Error"};
}

} // namespace koravel::testing
