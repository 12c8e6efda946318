// Tests make an operation of the sync engine fail by exception here, to
// reach the paths that catch it, and steer the copy of a download into the
// Tracks folder. Never armed in the product.
#pragma once

namespace kivo::sync {

// Throws std::runtime_error when a test armed this operation's name.
void raiseTestFault(const char* operation);
// For tests only: the operation that throws next (once); null disarms.
void armTestFault(const char* operation);

// How a test steers the copy of a download into the Tracks folder: the
// errno its link step fails with (0: the real link), the errno its writes
// fail with (0: real writes), and a call after each block it wrote.
struct CopyFaults {
    int linkErrno = 0;
    int writeErrno = 0;
    void (*afterBlock)() = nullptr;
};
void setCopyFaultsForTesting(const CopyFaults& faults);
const CopyFaults& copyFaults();

} // namespace kivo::sync
