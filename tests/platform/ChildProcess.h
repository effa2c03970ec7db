#pragma once

#include "platform/FileError.h"

#include <exception>

#include <sys/wait.h>
#include <unistd.h>

// Runs `body` in a forked child and returns its exit status (-1 when the child
// did not exit normally). A FileError thrown in the child becomes its number.
template <typename Body> int RunInChild(Body body) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        int status = 0;
        try {
            status = body();
        } catch (const koravel::FileError& e) {
            status = e.Number();
        } catch (...) {
            status = 255;
        }
        ::_exit(status);
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}
