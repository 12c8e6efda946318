// Runs a piece of a test in a child process whose view of the device root is
// confined: a full disk, a read-only one, or one with mounts of the test's
// own. The child gets its own user and mount namespaces, so nothing outside
// it sees the mount.
#pragma once

#include <functional>
#include <string>

namespace kivo::test {

enum class Confinement {
    FullDisk, // the root's files as they are, on a small file system filled to the last block
    ReadOnly, // the root as it is, mounted read-only
    OwnMounts, // nothing mounted: the body mounts (and unmounts) what it needs
};

// What the body returns is the child's exit code; kCannotConfine when the
// system does not let this process make namespaces (the caller skips).
constexpr int kCannotConfine = 77;
// The file that fills the full disk, in the root; removing it makes room.
constexpr const char* kFillFile = "filled-disk";
int runConfined(const std::string& root, Confinement how, const std::function<int()>& body);

} // namespace kivo::test
