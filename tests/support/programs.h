// Programs of this build started by tests, and waits with a bound.
#pragma once

#include <spawn.h>
#include <sys/types.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace kivo::test {

// The folder of the running test program; the build puts every program there.
std::string binFolder();

// Starts the build's program `name` with args, this process's device root
// (KIVO_DEVICE_ROOT) and Qt's offscreen platform, the rest of the
// environment as it is, and the given file actions (may be null). The
// child's pid, or -1 when it could not be started.
pid_t spawnProgram(const std::string& name, const std::vector<std::string>& args,
    const posix_spawn_file_actions_t* actions);

// A program of this build started as by spawnProgram, talked to by lines:
// its stdin takes them, its stdout gives them. A program still running
// when this goes first sees the end of its input, then is killed if it has
// not ended within 20 s.
class PipedProgram {
public:
    PipedProgram() = default;
    ~PipedProgram();
    PipedProgram(const PipedProgram&) = delete;
    PipedProgram& operator=(const PipedProgram&) = delete;
    // Its errors go to this process's, or are appended to errorFile.
    bool start(const std::string& name, const std::vector<std::string>& args = {}, const std::string& errorFile = {});
    bool send(const std::string& line); // the newline is added
    // The next line of output (without its newline); empty after timeoutMs
    // of silence or at the end of the output.
    std::string line(int timeoutMs = 20000);
    void closeInput();
    // Waits for the program's end (true at once once it has ended); its
    // waitpid status in *status.
    bool waitExit(int timeoutMs, int* status = nullptr);
    // Whether it has not ended yet.
    bool running();
    // Ends it at once (a program that does not end with its input).
    void kill();

private:
    pid_t m_pid = -1;
    int m_status = 0;
    bool m_ended = false;
    int m_in = -1;
    int m_out = -1;
    std::string m_buffer;
};

// How many times part occurs in text (a log's lines, say).
size_t countOf(const std::string& text, const std::string& part);

// Checks pred every stepMs until it holds (true) or timeoutMs pass (false).
bool waitUntil(const std::function<bool()>& pred, int timeoutMs, int stepMs = 20);

// Runs the build's program `name` with args to its end, its output going to
// outFd (may be -1: none); its exit code, or -1 when it ended otherwise or
// was still running after timeoutMs (it is then killed).
int runProgram(const std::string& name, const std::vector<std::string>& args, int outFd, int timeoutMs);

// Whether a window of another process, named by the window tool's target
// options ("--class", "KivoWiFi"), answers a send within timeoutMs.
bool windowAnswers(const std::vector<std::string>& target, int timeoutMs);

// What a full-disk run checks once there is room again, in the confined
// process: given a reader of the program's output so far, empty when all is
// well, else what is wrong.
using AfterRoomCheck = std::function<std::string(const std::function<std::string()>& output)>;

// Starts the build's program `name` on the device root as it is now, on a
// disk without a free block (see confined.h): waits until its output shows
// `started`, then makes room, waits until its window `target` answers and
// runs afterRoom (when given). 0 when all went so; kCannotConfine when no
// full disk could be made here; else a failure, told in *report together
// with the program's output.
int runOnAFullDisk(const std::string& name, const std::string& started, const std::vector<std::string>& target,
    std::string* report, const AfterRoomCheck& afterRoom = {});

// Starts the build's program `name` twice at once on a device root that was
// never used, on a disk full in every way (no free block, no new file or
// folder can be made), holding only `files` (paths relative to the root,
// with their content). Waits until one copy ends, then makes room and checks
// that the other still runs and its window `target` answers. 0 when exactly
// one copy ended (with exit code 0) and the other ran on; kCannotConfine when
// no such disk could be made here; else a failure, told in *report together
// with the programs' output.
int twoStartsOnAFullNewDisk(const std::string& name, const std::vector<std::pair<std::string, std::string>>& files,
    const std::vector<std::string>& target, std::string* report);

// Pumps the calling thread's window messages until done() holds (true) or
// timeoutMs pass (false), waking as soon as a message comes.
bool pumpUntil(const std::function<bool()>& done, int timeoutMs = 10000);

} // namespace kivo::test
