// A library preloaded into a process to make its system calls on one file fail
// as a sick disk or a full one would, so that the real program can be seen to
// cope. Everything is set in the environment:
//
//   KORAVEL_FAIL_FILE   the file's path as /proc/self/fd shows it (symlinks resolved)
//   KORAVEL_FAIL_CALL   pread, pwrite, fsync (fsync and fdatasync) or close
//   KORAVEL_FAIL_AT     the first call on that file to fail, counting from 1
//   KORAVEL_FAIL_COUNT  how many calls fail from there; 0 for every later one (default 1)
//   KORAVEL_FAIL_ERRNO  the error, as a number (default EIO)
//
// A failing pread, pwrite or fsync returns -1 without reaching the file; a
// failing close closes the descriptor first, as Linux does whatever it reports.

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include <dlfcn.h>
#include <sys/types.h>
#include <unistd.h>

namespace {

struct Plan {
    std::string file;
    std::string call;
    long first = 0;
    long count = 1;
    int error = EIO;
    long seen = 0; // calls of `call` on `file` so far
};

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

Plan& ThePlan() {
    static Plan plan = [] {
        Plan p;
        p.file = Env("KORAVEL_FAIL_FILE");
        p.call = Env("KORAVEL_FAIL_CALL");
        p.first = std::atol(Env("KORAVEL_FAIL_AT").c_str());
        if (!Env("KORAVEL_FAIL_COUNT").empty()) {
            p.count = std::atol(Env("KORAVEL_FAIL_COUNT").c_str());
        }
        if (!Env("KORAVEL_FAIL_ERRNO").empty()) {
            p.error = std::atoi(Env("KORAVEL_FAIL_ERRNO").c_str());
        }
        return p;
    }();
    return plan;
}

bool IsTheFile(int fd) {
    const Plan& plan = ThePlan();
    if (plan.file.empty() || fd < 0) {
        return false;
    }
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    char target[PATH_MAX];
    const ssize_t length = ::readlink(link.c_str(), target, sizeof target);
    return length > 0 &&
           plan.file.compare(0, std::string::npos, target, static_cast<std::size_t>(length)) == 0;
}

// Counts a call named `call` on `fd`; true when this one is to fail.
bool ShouldFail(const char* call, int fd) {
    Plan& plan = ThePlan();
    if (plan.call != call || !IsTheFile(fd)) {
        return false;
    }
    const long n = ++plan.seen;
    return n >= plan.first && (plan.count == 0 || n < plan.first + plan.count);
}

template <typename Function> Function Next(const char* name) {
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" {

ssize_t pread(int fd, void* buffer, size_t size, off_t offset) {
    if (ShouldFail("pread", fd)) {
        errno = ThePlan().error;
        return -1;
    }
    static const auto next = Next<ssize_t (*)(int, void*, size_t, off_t)>("pread");
    return next(fd, buffer, size, offset);
}

ssize_t pread64(int fd, void* buffer, size_t size, off64_t offset) {
    if (ShouldFail("pread", fd)) {
        errno = ThePlan().error;
        return -1;
    }
    static const auto next = Next<ssize_t (*)(int, void*, size_t, off64_t)>("pread64");
    return next(fd, buffer, size, offset);
}

ssize_t pwrite(int fd, const void* buffer, size_t size, off_t offset) {
    if (ShouldFail("pwrite", fd)) {
        errno = ThePlan().error;
        return -1;
    }
    static const auto next = Next<ssize_t (*)(int, const void*, size_t, off_t)>("pwrite");
    return next(fd, buffer, size, offset);
}

ssize_t pwrite64(int fd, const void* buffer, size_t size, off64_t offset) {
    if (ShouldFail("pwrite", fd)) {
        errno = ThePlan().error;
        return -1;
    }
    static const auto next = Next<ssize_t (*)(int, const void*, size_t, off64_t)>("pwrite64");
    return next(fd, buffer, size, offset);
}

int fsync(int fd) {
    if (ShouldFail("fsync", fd)) {
        errno = ThePlan().error;
        return -1;
    }
    static const auto next = Next<int (*)(int)>("fsync");
    return next(fd);
}

int fdatasync(int fd) {
    if (ShouldFail("fsync", fd)) {
        errno = ThePlan().error;
        return -1;
    }
    static const auto next = Next<int (*)(int)>("fdatasync");
    return next(fd);
}

int close(int fd) {
    const bool fail = ShouldFail("close", fd);
    static const auto next = Next<int (*)(int)>("close");
    const int result = next(fd);
    if (fail && result == 0) {
        errno = ThePlan().error;
        return -1;
    }
    return result;
}

} // extern "C"
