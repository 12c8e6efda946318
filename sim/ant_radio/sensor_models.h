// Simulated ANT+ sensors for the radio's world: each sends its pages at its
// channel period on the simulator's stepped clock, from rates a test
// scripts, and answers what the host sends it as scripted.
#pragma once

#include "sim/ant_radio/ant_peer.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace kivo::sim {

// Something that turns at a scripted rate: a wheel or a crank. Its events
// (one per revolution) are counted with their times in units of 1/unitsPerSecond.
struct AntRotor {
    uint32_t rpm = 0; // 0 stands
    uint16_t count = 0;
    uint16_t time = 0; // of the last event
    uint32_t unitsPerSecond = 1024;
    uint64_t nextUs = 0; // the next event, 0 for none scheduled
    // Moves the rotor on to nowUs; the number of events meanwhile.
    uint32_t advance(uint64_t nowUs);
    uint32_t intervalUnits() const { return rpm ? uint32_t(uint64_t(unitsPerSecond) * 60u / rpm) : 0; }
};

// A sensor peer that answers acknowledged pages from a script and logs
// every page the host sends it.
class AntScriptedPeer : public AntPeer {
public:
    // The answers to the next acknowledged pages, one entry each: 5
    // completed, 6 failed, 170 send again, 0 silence. Empty: completed.
    std::deque<uint8_t> transferScript;
    // The host's pages, in order, and whether each was acknowledged.
    std::vector<AntPage> received;
    std::vector<bool> receivedAcknowledged;

    std::vector<uint8_t> onHostPage(uint64_t nowUs, const AntPage& page, bool acknowledged) override;

protected:
    // A page that reached the device (a broadcast, or an acknowledged page
    // that was completed).
    virtual void take(uint64_t nowUs, const AntPage& page) { (void)nowUs; (void)page; }
};

// A combined speed and cadence sensor: device type 121, period 8086.
class AntSpeedCadenceSensor : public AntScriptedPeer {
public:
    AntSpeedCadenceSensor();
    AntRotor wheel;
    AntRotor crank;
    AntPage nextPage(uint64_t nowUs) override;
};

// A bicycle power meter of one of four kinds: power only (page 16), wheel
// torque (17), crank torque (18) or crank torque frequency (32), with page
// 16 every fifth page of the torque kinds and the common pages 80, 81 and
// 82 in turn every 61st page. It answers the calibration pages.
class AntPowerMeter : public AntScriptedPeer {
public:
    enum class Kind { PowerOnly, WheelTorque, CrankTorque, Ctf };
    explicit AntPowerMeter(Kind kind);

    Kind kind;
    uint32_t powerW = 200;
    AntRotor crank; // cadence; the crank kinds and page 16
    AntRotor wheel; // the wheel-torque kind
    uint32_t torque32 = 640; // torque per event, 1/32 N m (torque kinds)
    // Crank torque frequency: zero offset (Hz) and slope (1/10 N m per Hz),
    // and the torque its ticks stand for (1/32 N m).
    uint16_t zeroOffset = 500;
    uint16_t slope = 200;
    uint16_t serial = 0;
    // Calibration: manual zero succeeds (0xAC) or fails (0xAF) with this
    // calibration data; auto zero supported and on.
    bool calibrationSucceeds = true;
    int16_t calibrationData = 0;
    bool autoZeroSupported = true;
    bool autoZeroOn = false;

    AntPage nextPage(uint64_t nowUs) override;

protected:
    void take(uint64_t nowUs, const AntPage& page) override;

private:
    AntPage kindPage(uint64_t nowUs);
    uint8_t autoZeroStatus() const { return autoZeroSupported ? uint8_t(autoZeroOn ? 1 : 0) : uint8_t(0xFF); }

    std::deque<AntPage> m_answers; // calibration answers, sent first
    uint32_t m_pages = 0;
    uint8_t m_event16 = 0;
    uint16_t m_accumulatedPower = 0;
    uint8_t m_eventTorque = 0;
    uint8_t m_ticks = 0;
    uint16_t m_torquePeriod = 0; // 1/2048 s
    uint16_t m_accumulatedTorque = 0;
    uint16_t m_torqueTicks = 0;
};

// A device that sends its scripted pages in turn, one each channel period
// (the light electric vehicle, BSD, GNS, SMANO, TRN and VTX devices), and
// logs and answers what the host sends it as AntScriptedPeer does.
class AntPagedDevice : public AntScriptedPeer {
public:
    AntPagedDevice(uint8_t deviceType, uint8_t rf, uint16_t period, std::vector<AntPage> pages);
    std::vector<AntPage> pages;
    AntPage nextPage(uint64_t nowUs) override;

    // The devices with pages of their kind (network keys left to the caller).
    static AntPagedDevice lightElectricVehicle(); // pages 1-5 and 34, common pages 80 and 81
    static AntPagedDevice bsd(); // pages 1, 2, 4, 8, 16, 34, 173/1 and 173/2
    static AntPagedDevice gns(); // pages 173/1, 173/2 and 221/1-4
    static AntPagedDevice smano(); // pages 0 and 17
    static AntPagedDevice trn();
    static AntPagedDevice vtx(); // pages 0-3

private:
    size_t m_next = 0;
};

} // namespace kivo::sim
