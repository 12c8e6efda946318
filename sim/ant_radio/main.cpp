// ant_radio_sim: serves the simulated ANT radio ("ANT1:" and "ANTMSGQUEUE")
// to the other processes of the device root, driven by commands on stdin
// (and first from a script file, when given).
//
//   ant_radio_sim [--log DEVICE_PATH] [--script DEVICE_PATH] [--answer] [--air]
//
// With --answer the radio answers the host's messages from the start; with
// --air it joins the air of the device root, so its channels hear those of
// the simulated radios of other processes that joined it.
//
// It prints "ready" once served, then answers each command with "ok" or
// "error: ..." on a line of its own. Commands (numbers in hex):
//   frame ID [DATA...]        queue a received frame
//   bytes B...                queue raw stream bytes
//   antfs ack CH B...         an ANT-FS host sends acknowledged data to CH
//   antfs burst CH B...       ... a burst (8-byte packets, the last padded)
//   antfs event CH CODE       a channel event on CH (4: a host's burst failed)
//   chunks N [N...]           chunk sizes in turn (decimal, 1..41)
//   chunks random SEED        random chunk sizes (decimal seed)
//   fault checksum [COUNT]    corrupt the checksum of the next frames
//   fault serial-error CODE   queue message 0xAE [CODE]
//   fault write COUNT|on|off  fail the next sends
//   fault start on|off        fail the start control
//   fault queue               make the reader's next queue read fail
//   fault response ID CODE [COUNT]  answer the next messages ID with CODE
//   fault drop ID [COUNT]     lose the next messages ID (no answer)
//   fault transfer completed|failed|silent  how data transfers end
//   answer on|off|held        answer the host's messages (off unless --answer)
//   deliver                   queue the held answers
//   strap add NUMBER [BPM]    a heart-rate strap (decimal), 60 bpm unless given
//   strap rate I BPM          strap I (0 the first added) beats at BPM
//   strap pause I on|off      no new beats while on
//   strap range I on|off      in or out of range
//   strap dropout I COUNT     its next COUNT messages are lost
//   advance MS                move the simulated clock on by MS
//   clock start|stop          run the clock in real time
//   wait-sent COUNT MS        wait until COUNT frames were accepted
//   log                       print the frame log, one line per frame
//   clear                     empty the frame log
//   quit
// Every logged frame is also appended to the log file (default
// \SystemDrive\Sim\AntRadio\frames.log).
#include "sim/ant_radio/ant_radio_sim.h"
#include "sim/ant_radio/antfs_peers.h"

#include "platform/paths.h"

#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using kivo::sim::AntRadioSim;

bool parseHexBytes(std::istringstream& in, std::vector<uint8_t>& out, std::string& error)
{
    std::string word;
    while (in >> word) {
        char* end = nullptr;
        unsigned long v = std::strtoul(word.c_str(), &end, 16);
        if (!end || *end || v > 0xFF) {
            error = "not a hex byte: " + word;
            return false;
        }
        out.push_back(uint8_t(v));
    }
    return true;
}

bool parseNumber(const std::string& word, unsigned long& v, int base)
{
    char* end = nullptr;
    v = std::strtoul(word.c_str(), &end, base);
    return !word.empty() && end && !*end;
}

// Runs one command; false ends the program. reply gets "ok" or the error.
bool runCommand(AntRadioSim& sim, const std::string& line, std::ostream& out)
{
    std::istringstream in(line);
    std::string cmd;
    if (!(in >> cmd) || cmd[0] == '#')
        return true;
    std::string error;
    if (cmd == "quit") {
        out << "ok" << std::endl;
        return false;
    }
    if (cmd == "frame") {
        std::vector<uint8_t> bytes;
        if (parseHexBytes(in, bytes, error)) {
            if (bytes.empty() || bytes.size() > 42)
                error = "a frame needs an id and at most 41 data bytes";
            else if (!sim.injectFrame(bytes[0], std::vector<uint8_t>(bytes.begin() + 1, bytes.end())))
                error = "not queued (no reader?)";
        }
    } else if (cmd == "bytes") {
        std::vector<uint8_t> bytes;
        if (parseHexBytes(in, bytes, error) && !bytes.empty() && !sim.injectBytes(bytes))
            error = "not queued (no reader?)";
    } else if (cmd == "antfs") {
        std::string what;
        in >> what;
        std::vector<uint8_t> bytes;
        if (parseHexBytes(in, bytes, error)) {
            if (bytes.empty() || bytes[0] >= 8 || (what == "event" && bytes.size() != 2)
                || (what != "ack" && what != "burst" && what != "event"))
                error = "antfs ack|burst CH BYTES... | antfs event CH CODE";
            else {
                kivo::sim::AntFsHostPeer host(sim, bytes[0]);
                std::vector<uint8_t> payload(bytes.begin() + 1, bytes.end());
                bool queued = what == "ack" ? host.sendAcknowledged(payload)
                    : what == "burst"       ? host.sendBurst(payload)
                                            : host.injectEvent(payload[0]);
                if (!queued)
                    error = "not queued (no reader?)";
            }
        }
    } else if (cmd == "chunks") {
        std::vector<std::string> words;
        for (std::string w; in >> w;)
            words.push_back(w);
        unsigned long v;
        if (words.size() == 2 && words[0] == "random" && parseNumber(words[1], v, 10)) {
            sim.setRandomChunks(uint32_t(v));
        } else {
            std::vector<size_t> sizes;
            for (const auto& w : words) {
                if (!parseNumber(w, v, 10) || v < 1 || v > AntRadioSim::kMaxChunk) {
                    error = "chunk sizes are 1..41";
                    break;
                }
                sizes.push_back(v);
            }
            if (error.empty() && sizes.empty())
                error = "no chunk sizes";
            if (error.empty())
                sim.setChunkSizes(sizes);
        }
    } else if (cmd == "fault") {
        std::string kind, arg;
        in >> kind >> arg;
        unsigned long v = 0;
        if (kind == "checksum") {
            sim.corruptNextChecksums(arg.empty() ? 1 : (parseNumber(arg, v, 10) ? int(v) : 1));
        } else if (kind == "serial-error" && parseNumber(arg, v, 16) && v <= 0xFF) {
            if (!sim.injectSerialError(uint8_t(v)))
                error = "not queued (no reader?)";
        } else if (kind == "write") {
            if (arg == "on")
                sim.failWrites(-1);
            else if (arg == "off")
                sim.failWrites(0);
            else if (parseNumber(arg, v, 10))
                sim.failWrites(int(v));
            else
                error = "fault write COUNT|on|off";
        } else if (kind == "start" && (arg == "on" || arg == "off")) {
            sim.failStart(arg == "on");
        } else if (kind == "response" || kind == "drop") {
            std::string a, b;
            in >> a >> b;
            unsigned long id = 0, code = 0, count = 1;
            bool ok = parseNumber(arg, id, 16) && id <= 0xFF;
            std::string countWord = kind == "response" ? b : a;
            if (kind == "response")
                ok = ok && parseNumber(a, code, 16) && code <= 0xFF;
            if (!countWord.empty())
                ok = ok && parseNumber(countWord, count, 10);
            if (!ok)
                error = "fault response ID CODE [COUNT] | fault drop ID [COUNT]";
            else
                sim.withModel([&](kivo::sim::AntRadioModel& m) {
                    if (kind == "response")
                        m.setResponseCode(uint8_t(id), uint8_t(code), int(count));
                    else
                        m.dropMessages(uint8_t(id), int(count));
                });
        } else if (kind == "transfer" && (arg == "completed" || arg == "failed" || arg == "silent")) {
            using Outcome = kivo::sim::AntRadioModel::TransferOutcome;
            Outcome o = arg == "completed" ? Outcome::Completed : arg == "failed" ? Outcome::Failed : Outcome::Silent;
            sim.withModel([o](kivo::sim::AntRadioModel& m) { m.setTransferOutcome(o); });
        } else if (kind == "queue") {
            if (!sim.breakQueue())
                error = "not queued (no reader?)";
        } else {
            error = "unknown fault: " + line;
        }
    } else if (cmd == "answer") {
        std::string arg;
        in >> arg;
        if (arg == "on")
            sim.setAnswerMode(AntRadioSim::AnswerMode::Immediate);
        else if (arg == "off")
            sim.setAnswerMode(AntRadioSim::AnswerMode::Off);
        else if (arg == "held")
            sim.setAnswerMode(AntRadioSim::AnswerMode::Held);
        else
            error = "answer on|off|held";
    } else if (cmd == "strap") {
        std::string what, a, b;
        in >> what >> a >> b;
        unsigned long x = 0, y = 0;
        bool haveX = parseNumber(a, x, 10), haveY = parseNumber(b, y, 10);
        if (what == "add" && haveX && x <= 0xFFFF) {
            kivo::sim::AntStrap strap;
            strap.deviceNumber = uint16_t(x);
            if (haveY)
                strap.bpm = uint32_t(y);
            out << "strap " << sim.addStrap(strap) << '\n';
        } else if ((what == "rate" && haveX && haveY) || ((what == "pause" || what == "range") && haveX
                       && (b == "on" || b == "off")) || (what == "dropout" && haveX && haveY)) {
            sim.withModel([&](kivo::sim::AntRadioModel& m) {
                if (x >= m.strapCount()) {
                    error = "no strap " + a;
                    return;
                }
                if (what == "rate")
                    m.setStrapRate(int(x), uint32_t(y));
                else if (what == "pause")
                    m.setStrapPaused(int(x), b == "on");
                else if (what == "range")
                    m.strap(int(x)).inRange = b == "on";
                else
                    m.strap(int(x)).dropouts = int(y);
            });
        } else {
            error = "strap add NUMBER [BPM] | rate I BPM | pause I on|off | range I on|off | dropout I COUNT";
        }
    } else if (cmd == "advance") {
        std::string a;
        in >> a;
        unsigned long ms = 0;
        if (parseNumber(a, ms, 10))
            sim.advanceTime(uint32_t(ms));
        else
            error = "advance MS";
    } else if (cmd == "clock") {
        std::string a;
        in >> a;
        if (a == "start")
            sim.startClock();
        else if (a == "stop")
            sim.stopClock();
        else
            error = "clock start|stop";
    } else if (cmd == "deliver") {
        sim.deliverHeld();
    } else if (cmd == "wait-sent") {
        unsigned long count, ms;
        std::string a, b;
        in >> a >> b;
        if (!parseNumber(a, count, 10) || !parseNumber(b, ms, 10))
            error = "wait-sent COUNT MS";
        else if (!sim.waitForSentFrames(count, uint32_t(ms)))
            error = "timed out";
    } else if (cmd == "log") {
        for (const auto& r : sim.log())
            out << AntRadioSim::formatRecord(r) << '\n';
    } else if (cmd == "clear") {
        sim.clearLog();
    } else {
        error = "unknown command: " + cmd;
    }
    if (error.empty())
        out << "ok" << std::endl;
    else
        out << "error: " << error << std::endl;
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    std::string logPath = "\\SystemDrive\\Sim\\AntRadio\\frames.log";
    std::string scriptPath;
    bool answer = false;
    bool air = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--answer") {
            answer = true;
        } else if (a == "--air") {
            air = true;
        } else if ((a == "--log" || a == "--script") && i + 1 < argc) {
            (a == "--log" ? logPath : scriptPath) = argv[++i];
        } else {
            std::cerr << "usage: ant_radio_sim [--log DEVICE_PATH] [--script DEVICE_PATH] [--answer] [--air]"
                      << std::endl;
            return 2;
        }
    }
    AntRadioSim sim;
    if (!sim.setLogFile(ce::resolvePath(logPath, true))) {
        std::cerr << "ant_radio_sim: cannot write the log " << logPath << std::endl;
        return 1;
    }
    if (answer)
        sim.setAnswerMode(AntRadioSim::AnswerMode::Immediate);
    if (!sim.serve()) {
        std::cerr << "ant_radio_sim: cannot serve ANT1:" << std::endl;
        return 1;
    }
    if (air && !sim.joinAir()) {
        std::cerr << "ant_radio_sim: cannot join the air" << std::endl;
        return 1;
    }
    if (!scriptPath.empty()) {
        std::ifstream script(ce::resolvePath(scriptPath));
        if (!script) {
            std::cerr << "ant_radio_sim: cannot read the script " << scriptPath << std::endl;
            return 1;
        }
        for (std::string line; std::getline(script, line);)
            if (!runCommand(sim, line, std::cout))
                return 0;
    }
    std::cout << "ready" << std::endl;
    for (std::string line; std::getline(std::cin, line);)
        if (!runCommand(sim, line, std::cout))
            break;
    return 0;
}
