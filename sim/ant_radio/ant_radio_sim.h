// A simulated ANT radio behind the stream driver "ANT1:" and the message
// queue "ANTMSGQUEUE". It takes the frames the host sends (one per send
// control), checks and logs them, and feeds received frames into the queue
// cut into chunks of chosen or random sizes, with faults on demand.
//
// Served in this process (install) or to other processes through the
// device socket (serve); the ant_radio_sim program does the latter.
#pragma once

#include "sim/ant_radio/ant_radio_model.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kivo::sim {

class AntAirLink;

struct AntFrameRecord {
    enum class Direction { Sent, Received };
    uint64_t timeUs = 0; // since the simulator was made
    Direction direction = Direction::Sent;
    std::vector<uint8_t> bytes;
    // Sent: "ok", "short", "bad-sync", "bad-length", "bad-checksum",
    // "bad-trailer" or "write-fault" (injected). Received: "queued",
    // "no-reader" or "queue-error".
    std::string status;
};

class AntRadioSim {
public:
    static constexpr uint32_t kIoctlStartLink = 0x80172394u;
    static constexpr uint32_t kIoctlSendFrame = 0x8017234cu;
    static constexpr size_t kMaxChunk = 41;

    AntRadioSim();
    ~AntRadioSim(); // uninstalls and stops serving
    AntRadioSim(const AntRadioSim&) = delete;
    AntRadioSim& operator=(const AntRadioSim&) = delete;

    // Registers "ANT1:" in this process.
    void install();
    void uninstall();
    // Serves "ANT1:" to other processes of the device root; false when the
    // socket could not be made.
    bool serve();

    // Puts this radio on the air shared by the radios of every process of
    // the device root that joined it: their channels hear each other as the
    // channels of one radio do. A radio installed in this process keeps its
    // queue in this process while joined, so that each process has a radio
    // of its own: join before the library opens the radio. False when no
    // place on the air could be taken.
    bool joinAir();
    void leaveAir();

    // A received frame: 0xA4, length, id, data, XOR (no trailing zeros).
    static std::vector<uint8_t> receivedFrame(uint8_t id, const std::vector<uint8_t>& data);
    // A frame as the host sends it: the above plus two zero bytes.
    static std::vector<uint8_t> sentFrame(uint8_t id, const std::vector<uint8_t>& data);
    // Checks a frame the host sent; "ok" or what is wrong with it.
    static std::string checkSentFrame(const uint8_t* bytes, size_t size);

    // How the received stream is cut into queue messages: the sizes in turn
    // (each clamped to 1..41), or random sizes from a seed. Default: 41.
    void setChunkSizes(std::vector<size_t> sizes);
    void setRandomChunks(uint32_t seed);

    // Received side. Each call appends to the stream and delivers it all;
    // false when some chunk could not be queued (no reader, queue error).
    bool injectFrame(uint8_t id, const std::vector<uint8_t>& data);
    bool injectFrames(const std::vector<std::vector<uint8_t>>& frames); // raw frames, joined
    bool injectBytes(const std::vector<uint8_t>& bytes);

    // Faults.
    void corruptNextChecksums(int count = 1); // frames made by injectFrame
    bool injectSerialError(uint8_t code); // message 0xAE [code]
    void failWrites(int count); // next count sends fail; -1 all, 0 none
    void failStart(bool fail); // the start control fails
    bool breakQueue(); // the reader's next queue read fails

    // The frame log.
    std::vector<AntFrameRecord> log() const;
    // Bytes of the frames the host sent that were accepted, in order.
    std::vector<std::vector<uint8_t>> sentFrames() const;
    // The messages (id and data) of those frames, taken out of the log.
    std::vector<std::vector<uint8_t>> takeSentMessages();
    // Waits until at least count frames were accepted.
    bool waitForSentFrames(size_t count, uint32_t timeoutMs) const;
    void clearLog();
    // Appends every record to this file as one line as well.
    bool setLogFile(const std::string& linuxPath);
    static std::string formatRecord(const AntFrameRecord& record);

    int startCount() const; // start controls accepted
    bool sessionOpen() const;

    // The radio's answers to the host's messages (the command state
    // machine of AntRadioModel). Off: nothing is answered (the default).
    // Immediate: answers are queued while the host's send is in progress.
    // Held: answers wait until deliverHeld(), so a test can step the radio.
    enum class AnswerMode { Off, Immediate, Held };
    void setAnswerMode(AnswerMode mode);
    // Queues the held answers; returns how many messages went out.
    size_t deliverHeld();
    size_t heldCount() const;
    // Runs fn on the radio's model under the simulator's lock (faults,
    // inspection).
    void withModel(const std::function<void(AntRadioModel&)>& fn);

    // The simulated world's clock. advanceTime moves it on at once and
    // queues what the radio receives meanwhile (a test steps it);
    // startClock runs it on a thread of its own in real time.
    void advanceTime(uint32_t ms);
    void startClock();
    void stopClock();
    int addStrap(const AntStrap& strap);

    struct Core;

private:
    std::shared_ptr<Core> m_core;
    struct Serving;
    std::unique_ptr<Serving> m_serving;
    struct Clock;
    std::unique_ptr<Clock> m_clock;
    std::unique_ptr<AntAirLink> m_air;
    bool m_installed = false;
    bool m_queueKept = false;
    void keepQueue(bool keep);
};

} // namespace kivo::sim
