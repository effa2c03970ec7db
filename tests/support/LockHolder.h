#pragma once

#include <sys/types.h>

#include <string>

namespace koravel::testing {

// Another program that has a file open: a child process that opens it and
// waits. By default it also takes an exclusive lock, as a careful tool would
// (flock(), or a record lock as fcntl() takes it); most programs take none and
// just keep the file open.
class LockHolder {
  public:
    enum class Hold { Lock, RecordLock, OpenForWriting, OpenForReading };

    explicit LockHolder(const std::string& path, Hold hold = Hold::Lock);
    ~LockHolder() { Release(); }
    LockHolder(const LockHolder&) = delete;
    LockHolder& operator=(const LockHolder&) = delete;

    // Ends the child, which lets go of the lock.
    void Release();

  private:
    pid_t pid_ = -1;
};

} // namespace koravel::testing
