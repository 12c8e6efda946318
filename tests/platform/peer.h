// Starts tests/platform/platform_peer as a second process of the same device root.
#pragma once

#include <string>
#include <vector>

namespace kivo::test {

struct Peer {
    int pid = -1;
    int out = -1; // the peer's stdout
    ~Peer();
    // Reads one line of the peer's output (without the newline); what came so
    // far at EOF or after 10 s of silence.
    std::string readLine();
    int wait(); // exit code
    void kill();
};

Peer startPeer(const std::vector<std::string>& args);
// Runs the peer to its end and returns its exit code.
int runPeer(const std::vector<std::string>& args);

} // namespace kivo::test
