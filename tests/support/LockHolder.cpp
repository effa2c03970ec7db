#include "tests/support/LockHolder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <stdexcept>

namespace koravel::testing {

LockHolder::LockHolder(const std::string& path, Hold hold) {
    int ready[2];
    if (pipe(ready) != 0) {
        throw std::runtime_error("pipe failed");
    }
    pid_ = fork();
    if (pid_ < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid_ == 0) {
        // Only async-signal-safe calls from here on.
        close(ready[0]);
        const int fd = open(path.c_str(), hold == Hold::OpenForReading ? O_RDONLY : O_RDWR);
        struct flock whole {};
        whole.l_type = F_WRLCK;
        whole.l_whence = SEEK_SET;
        const bool locked = hold == Hold::Lock         ? flock(fd, LOCK_EX) == 0
                            : hold == Hold::RecordLock ? fcntl(fd, F_SETLK, &whole) == 0
                                                       : true;
        const char ok = fd >= 0 && locked ? '1' : '0';
        (void)!write(ready[1], &ok, 1);
        for (;;) {
            pause();
        }
    }
    close(ready[1]);
    char ok = '0';
    const ssize_t n = read(ready[0], &ok, 1);
    close(ready[0]);
    if (n != 1 || ok != '1') {
        Release();
        throw std::runtime_error("the holder could not open or lock " + path);
    }
}

void LockHolder::Release() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
}

} // namespace koravel::testing
