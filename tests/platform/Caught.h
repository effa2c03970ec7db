#pragma once

#include "platform/FileError.h"

#include <string>

// What a call raised: number 0 when it raised nothing.
struct Caught {
    int number = 0;
    std::string description;
};

template <typename Call> Caught Catch(Call&& call) {
    try {
        call();
    } catch (const koravel::FileError& e) {
        return {e.Number(), e.Description()};
    }
    return {};
}
