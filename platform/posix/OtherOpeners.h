#pragma once

namespace koravel {

// Whether any other open file description (in this process or another) has
// the file open, for reading or for writing.
enum class OtherOpeners {
    None,    // nobody else has it open
    Some,    // another program (or handle) has it open
    Unknown, // the system cannot tell: not our file, or no leases here
};

// Asks with a write lease, which the kernel grants only while no other open
// file description exists for the file, and gives it back at once. `fd` must
// be open for writing.
OtherOpeners ProbeOtherOpeners(int fd);

// The two halves of the probe. While the lease is held, another program's
// open of the file waits for its release; the signal that tells us of it
// never ends the program.
OtherOpeners TakeWriteLease(int fd);
void ReleaseLease(int fd);

} // namespace koravel
