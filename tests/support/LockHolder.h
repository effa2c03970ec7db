#pragma once

#include <sys/types.h>

#include <string>

namespace koravel::testing {

// Another program holding an exclusive lock on a file, as a tool that has the
// image open for writing would: a child process that locks it and waits.
class LockHolder {
  public:
    explicit LockHolder(const std::string& path);
    ~LockHolder() { Release(); }
    LockHolder(const LockHolder&) = delete;
    LockHolder& operator=(const LockHolder&) = delete;

    // Ends the child, which lets go of the lock.
    void Release();

  private:
    pid_t pid_ = -1;
};

} // namespace koravel::testing
