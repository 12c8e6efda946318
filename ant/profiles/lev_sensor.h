// The light electric vehicle profile: receives an electric bicycle's drive
// system on one channel, decodes its pages into record 104, and acts as the
// vehicle's display: it keeps the display page 16 (wheel circumference,
// assist and regeneration levels, lights and signals, gears, manufacturer)
// that the caller edits and sends as an acknowledged page, resent when the
// radio asks for it, and it sends its identification pages now and then.
#pragma once

#include "ant/core/ant_sensor_profile.h"
#include "ant/core/common_page.h"

#include <cstdint>

namespace senvoy {

constexpr uint32_t ANT_LEV_RECORD_SIZE = 120;

struct LEVPageData {
    uint8_t temperatureState = 0, travelModeState = 0, systemState = 0, gearState = 0, errorMessage = 0;
    uint16_t speed = 0; // 0.1 km/h
    uint32_t odometer = 0; // 0.01 km
    uint16_t remainingRange = 0; // km
    uint8_t batteryCharge = 0, percentAssist = 0;
    uint16_t chargingCycles = 0;
    uint16_t fuelConsumption = 0;
    uint8_t batteryVoltage = 0;
    uint16_t chargeDistance = 0;
    uint8_t travelModesSupported = 0;
    uint16_t wheelCircumference = 0;
    // The display page 16.
    uint16_t p16Circumference = 255; // 12 bits, top four 0xF once set
    uint8_t p16TravelMode = 255; // bits 3-5 assist level, 0-2 regeneration level
    uint16_t p16DisplayCommand = 0; // bits 4-5 front gear, 6-9 rear gear, low byte lights and signals
    uint16_t p16ManufacturerId = 0;
    uint32_t odometer34 = 0;
    uint16_t value34a = 0, value34b = 0;
    uint8_t requestByte5 = 0, requestByte6 = 0;
};

class LEVSensor : public ANTSensorProfile {
public:
    static constexpr uint8_t kDeviceType = 20;
    static constexpr uint8_t kRf = 57;
    static constexpr uint16_t kPeriod = 8192;
    static constexpr uint8_t kNetwork = 1;
    static constexpr uint8_t kMaxResends = 10;
    // Received pages (and receive failures) between identification pages.
    static constexpr uint8_t kIdentificationEvery = 20;

    LEVSensor();

    int open(uint8_t channel, uint16_t deviceNumber, uint8_t searchTimeout) override;
    int configureList(uint8_t channel, const uint16_t* deviceNumbers, uint8_t count, uint8_t exclude);

    // The setters change only the stored page 16: 1, or 0 for another
    // channel, a null settings pointer, or (circumference) a zero one.
    int changeDisplayAssistModes(uint8_t channel, const ANTLEVSettings* s);
    int changeDisplayRegenModes(uint8_t channel, const ANTLEVSettings* s);
    int changeAssist(uint8_t channel, const ANTLEVSettings* s);
    int changeRegen(uint8_t channel, const ANTLEVSettings* s);
    int changeFrontGear(uint8_t channel, const ANTLEVSettings* s);
    int changeRearGear(uint8_t channel, const ANTLEVSettings* s);
    int changeLights(uint8_t channel, const ANTLEVSettings* s);
    int changeManufacturerId(uint8_t channel, const ANTLEVSettings* s);
    int changeCircumference(uint8_t channel, const ANTLEVSettings* s);
    int setTravelModeNotSupported(uint8_t channel, const ANTLEVSettings* s);
    // Sends the stored page 16: 1 when the vehicle took it at once.
    int sendDisplayData(uint8_t channel);
    // The display's page 16 and identification back to their first state.
    void resetDisplayState();

    // A level (0-7) the vehicle offers with n modes, and whether a level is
    // one it accepts: the new field value, or the old one when refused.
    static uint8_t mapAssist(uint8_t modes, uint8_t level);
    static uint8_t mapRegen(uint8_t modes, uint8_t level);
    static uint8_t validateAssist(uint8_t modes, uint8_t level, uint8_t field);
    static uint8_t validateRegen(uint8_t modes, uint8_t level, uint8_t field);

    // For tests.
    const LEVPageData& pageData() const { return m_page; }
    uint8_t pendingRequest() const { return m_pending; }
    void setModes(uint8_t assist, uint8_t regen)
    {
        m_assistModes = assist;
        m_regenModes = regen;
    }
    void receivePage(const uint8_t payload[8])
    {
        decode(payload);
        report();
    }

protected:
    void resetDecoder() override;
    void decode(const uint8_t payload[8]) override;
    void report() override;
    void reportClosed() override;
    void onEvent(uint8_t code) override;

private:
    int sendRequest(uint8_t id, bool await);
    int resendRequest();
    void reportRequestStatus(uint8_t status);
    void sendIdentification();
    void setAssistBits(uint8_t level);
    void setRegenBits(uint8_t level);

    LEVPageData m_page;
    CommonPageRecord m_identification; // what this display sends in pages 80 and 81
    CommonPageRecord m_common; // the vehicle's common pages
    uint8_t m_record[ANT_LEV_RECORD_SIZE] = {};
    uint8_t m_pageNumber = 0;
    uint8_t m_messages = 0;
    // Which identification page goes out next, 80 (0) or 81 (1): each
    // vehicle gets both in turn, from 80 on, whatever else is connected.
    uint8_t m_identificationIndex = 0;
    uint8_t m_pending = 0;
    uint8_t m_resends = 0;
    uint32_t m_travelModeNotSupported = 0;
    uint8_t m_assistModes = 7;
    uint8_t m_regenModes = 7;
};

} // namespace senvoy
