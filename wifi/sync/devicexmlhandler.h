// Reader of device.xml: the device's identity for the sync service.
#pragma once

#include "wifi/sync/xmlsaxparser.h"

struct DeviceInfoRecord {
    QString kernelVersion;
    QString bootloaderVersion;
    QString displayName;
    QString hardwareId;
    QString skuId;
};

// One record per sku block with a non-empty skuid; the kernel and bootloader
// versions are shared by all of them.
class DeviceXmlHandler : public XmlSaxParser<DeviceInfoRecord> {
public:
    DeviceXmlHandler();

    void endElement(void* userData, const XML_Char* name) override;
    void characters(void* userData, const XML_Char* text, int length) override;

protected:
    void clearForParse() override;

private:
    QString m_kernelVersion;
    QString m_bootloaderVersion;
    QString m_displayName;
    QString m_hardwareId;
    QString m_skuId;
};
