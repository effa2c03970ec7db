#include "tests/audit/ImageIoAudit.h"

#include <algorithm>
#include <set>
#include <span>

#include <fcntl.h>
#include <sys/file.h>

namespace koravel::audit {
namespace {

bool IsOpen(const Syscall& call) {
    return call.name == "open" || call.name == "openat" || call.name == "openat2" ||
           call.name == "creat";
}

bool IsFlush(const Syscall& call) {
    return call.name == "fsync" || call.name == "fdatasync";
}

std::int64_t Arg(const Syscall& call, std::size_t index) {
    if (index >= call.args.size()) {
        return -1;
    }
    return Number(call.args[index]).value_or(-1);
}

// A write record lock on the whole file, as strace -X raw prints it.
const std::string WholeFileWriteLock =
    "{l_type=0x" + std::to_string(F_WRLCK) + ", l_whence=0, l_start=0, l_len=0}";

// Calls that only look at the file's metadata (or its file system's) or end its descriptor.
const std::set<std::string> Harmless{"stat",  "lstat",   "fstat", "newfstatat",
                                     "statx", "fstatfs", "close"};

class Auditor {
  public:
    explicit Auditor(const std::vector<Syscall>& calls) : calls_(calls) {}

    // Every call is harmless, an open, or one of `allowed`.
    void OnlyThese(const std::set<std::string>& allowed) {
        for (const Syscall& call : calls_) {
            if (!Harmless.contains(call.name) && !IsOpen(call) && !allowed.contains(call.name)) {
                Find("a call that must not touch the image: " + call.line);
            }
        }
    }

    // Exactly one open, with the access mode given and no flag that can change
    // or create the file; returns its index, or -1.
    std::ptrdiff_t OneOpen(int accessMode, const char* modeName) {
        std::vector<std::size_t> opens = IndexesOf(IsOpen);
        if (opens.size() != 1) {
            Find("opened " + std::to_string(opens.size()) + " times, not once");
            return -1;
        }
        const Syscall& open = calls_[opens[0]];
        const std::size_t flagsAt = open.name == "openat" ? 2 : 1;
        const std::int64_t flags = open.name == "creat" ? O_CREAT | O_TRUNC : Arg(open, flagsAt);
        if (flags < 0 || (flags & O_ACCMODE) != accessMode) {
            Find(std::string("not opened ") + modeName + ": " + open.line);
        }
        if (flags >= 0 && (flags & (O_TRUNC | O_CREAT)) != 0) {
            Find("opened with O_TRUNC or O_CREAT: " + open.line);
        }
        return static_cast<std::ptrdiff_t>(opens[0]);
    }

    // The calls named `name` are 1-byte transfers at exactly `offsets`, in order,
    // each moving its byte.
    void SingleBytesAt(const std::string& name, std::span<const std::int64_t> offsets) {
        const std::vector<std::size_t> found =
            IndexesOf([&](const Syscall& call) { return call.name == name; });
        if (found.size() != offsets.size()) {
            Find(std::to_string(found.size()) + " " + name + " calls, not " +
                 std::to_string(offsets.size()));
        }
        for (std::size_t i = 0; i < found.size(); ++i) {
            const Syscall& call = calls_[found[i]];
            if (Arg(call, 2) != 1 || Number(call.result) != 1) {
                Find("not a single byte: " + call.line);
            }
            if (i < offsets.size() && Arg(call, 3) != offsets[i]) {
                Find("byte " + std::to_string(i + 1) + " at the wrong offset (" +
                     std::to_string(offsets[i]) + " expected): " + call.line);
            }
        }
    }

    // Exactly `count` calls for which `matches` holds; their indexes.
    template <typename Match>
    std::vector<std::size_t> Count(Match matches, std::size_t count, const std::string& what) {
        std::vector<std::size_t> found = IndexesOf(matches);
        if (found.size() != count) {
            Find(std::to_string(found.size()) + " " + what + ", not " + std::to_string(count));
        }
        return found;
    }

    // The descriptor ends with the run: the last call on the image is its close.
    void ClosedLast() {
        const std::vector<std::size_t> closes =
            IndexesOf([](const Syscall& call) { return call.name == "close"; });
        if (closes.size() != 1 || closes[0] + 1 != calls_.size()) {
            Find("not closed exactly once, after everything else");
        }
    }

    void Find(std::string finding) { findings_.push_back(std::move(finding)); }
    std::vector<std::string> Findings() && { return std::move(findings_); }
    const std::vector<Syscall>& Calls() const { return calls_; }

    template <typename Match> std::vector<std::size_t> IndexesOf(Match matches) const {
        std::vector<std::size_t> found;
        for (std::size_t i = 0; i < calls_.size(); ++i) {
            if (matches(calls_[i])) {
                found.push_back(i);
            }
        }
        return found;
    }

  private:
    const std::vector<Syscall>& calls_;
    std::vector<std::string> findings_;
};

} // namespace

std::vector<Syscall> CallsOnImage(const std::vector<Syscall>& calls, const ImagePaths& image) {
    const std::string givenText = '"' + image.given + '"';
    const std::string resolvedText = '"' + image.resolved + '"';
    const auto names = [&](const std::string& value) {
        return value == givenText || value == resolvedText ||
               AnnotatedPath(value) == image.resolved;
    };
    std::vector<Syscall> found;
    for (const Syscall& call : calls) {
        if (names(call.result) || std::any_of(call.args.begin(), call.args.end(), names)) {
            found.push_back(call);
        }
    }
    return found;
}

std::vector<std::string> AuditSelect(const std::vector<Syscall>& imageCalls) {
    Auditor audit(imageCalls);
    audit.OnlyThese({"pread64"});
    audit.OneOpen(O_RDONLY, "O_RDONLY");
    audit.SingleBytesAt("pread64", std::span(SettingOffsets, 3));
    audit.ClosedLast();
    return std::move(audit).Findings();
}

std::vector<std::string> AuditPatch(const std::vector<Syscall>& imageCalls) {
    Auditor audit(imageCalls);
    audit.OnlyThese({"flock", "fcntl", "pread64", "pwrite64", "fsync", "fdatasync"});
    const std::ptrdiff_t open = audit.OneOpen(O_RDWR, "O_RDWR");
    audit.SingleBytesAt("pread64", PatchReadOffsets);
    audit.SingleBytesAt("pwrite64", SettingOffsets);

    const auto& calls = audit.Calls();
    const auto writes =
        audit.IndexesOf([](const Syscall& call) { return call.name == "pwrite64"; });
    const auto reads = audit.IndexesOf([](const Syscall& call) { return call.name == "pread64"; });
    if (!reads.empty() && !writes.empty() && reads.back() > writes.front()) {
        audit.Find("read after the first write: " + calls[reads.back()].line);
    }
    const auto locks =
        audit.Count([](const Syscall& call) { return call.name == "flock"; }, 1, "flock calls");
    if (locks.size() == 1) {
        const Syscall& lock = calls[locks[0]];
        if (Arg(lock, 1) != (LOCK_EX | LOCK_NB) || Number(lock.result) != 0) {
            audit.Find("not a granted LOCK_EX|LOCK_NB: " + lock.line);
        }
        if (static_cast<std::ptrdiff_t>(locks[0]) < open ||
            (!writes.empty() && locks[0] > writes.front())) {
            audit.Find("the lock is not taken between the open and the first write");
        }
    }
    // The write record lock on the whole file, seen where flock() is not (the
    // document portal passes it on): taken with the lock, before the writes.
    const auto records = audit.Count(
        [](const Syscall& call) { return call.name == "fcntl" && Arg(call, 1) == F_OFD_SETLK; }, 1,
        "record locks");
    if (records.size() == 1) {
        const Syscall& record = calls[records[0]];
        if (record.args.size() != 3 || record.args[2] != WholeFileWriteLock ||
            Number(record.result) != 0) {
            audit.Find("not a granted write record lock on the whole file: " + record.line);
        }
        if ((!locks.empty() && records[0] < locks[0]) ||
            (!writes.empty() && records[0] > writes.front())) {
            audit.Find("the record lock is not taken between the lock and the first write");
        }
    }
    // The write lease that asks whether anyone else has the image open: taken
    // and given back after the lock and before the first write; nothing else.
    const auto leaseCall = [](std::int64_t type) {
        return [type](const Syscall& call) {
            return call.name == "fcntl" && Arg(call, 1) == F_SETLEASE && Arg(call, 2) == type;
        };
    };
    const auto taken = audit.Count(leaseCall(F_WRLCK), 1, "write leases taken");
    const auto given = audit.Count(leaseCall(F_UNLCK), 1, "leases given back");
    if (taken.size() == 1 && given.size() == 1) {
        if (Number(calls[taken[0]].result) != 0) {
            audit.Find("the write lease was not granted: " + calls[taken[0]].line);
        }
        if (given[0] < taken[0] || (!locks.empty() && taken[0] < locks[0]) ||
            (!writes.empty() && given[0] > writes.front())) {
            audit.Find("the lease is not taken and given back between the lock and the writes");
        }
    }
    for (const Syscall& call : calls) {
        if (call.name == "fcntl" && Arg(call, 1) != F_SETLEASE && Arg(call, 1) != F_SETSIG &&
            Arg(call, 1) != F_OFD_SETLK) {
            audit.Find("an fcntl that is neither the record lock nor the lease probe: " +
                       call.line);
        }
    }
    const auto flushes = audit.Count(IsFlush, 1, "fsync/fdatasync calls");
    if (flushes.size() == 1 && !writes.empty() && flushes[0] < writes.back()) {
        audit.Find("flushed before the last write");
    }
    audit.ClosedLast();
    return std::move(audit).Findings();
}

} // namespace koravel::audit
