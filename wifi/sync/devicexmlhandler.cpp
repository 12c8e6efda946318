#include "wifi/sync/devicexmlhandler.h"

#include <iterator>

namespace {

enum State {
    Device = 1,
    Kernel,
    KernelVersion,
    Bootloader,
    BootloaderVersion,
    Hardware,
    DisplayName,
    HardwareId,
    Sku,
    SkuId,
    MapRegion,
};

const kivo::sync::XmlElementRow kDeviceTable[] = {
    { u"device", 0, Device },
    { u"kernel", Device, Kernel },
    { u"version", Kernel, KernelVersion },
    { u"bootloader", Device, Bootloader },
    { u"version", Bootloader, BootloaderVersion },
    { u"hardware", Device, Hardware },
    { u"displayname", Hardware, DisplayName },
    { u"id", Hardware, HardwareId },
    { u"sku", Device, Sku },
    { u"skuid", Sku, SkuId },
    { u"mapregion", Sku, MapRegion },
};

} // namespace

DeviceXmlHandler::DeviceXmlHandler()
    : XmlSaxParser(kDeviceTable, int(std::size(kDeviceTable)))
{
    clearForParse();
}

void DeviceXmlHandler::clearForParse()
{
    // The versions carry over from one sku block to the next within a file,
    // never into the next file.
    m_kernelVersion.clear();
    m_bootloaderVersion.clear();
    m_displayName.clear();
    m_hardwareId.clear();
    m_skuId.clear();
}

void DeviceXmlHandler::characters(void*, const XML_Char* text, int length)
{
    switch (currentState()) {
    case KernelVersion:
        m_kernelVersion += kivo::sync::xmlText(text, length);
        break;
    case BootloaderVersion:
        m_bootloaderVersion += kivo::sync::xmlText(text, length);
        break;
    case DisplayName:
        m_displayName += kivo::sync::xmlText(text, length);
        break;
    case HardwareId:
        m_hardwareId += kivo::sync::xmlText(text, length);
        break;
    case SkuId:
        m_skuId += kivo::sync::xmlText(text, length);
        break;
    default:
        break;
    }
}

void DeviceXmlHandler::endElement(void* userData, const XML_Char* name)
{
    // expat may hand the skuid text over in several pieces (at line ends and
    // entities), so the record is made only once the element is complete.
    if (currentState() == SkuId && !m_skuId.isEmpty()) {
        m_records.append(
            DeviceInfoRecord { m_kernelVersion, m_bootloaderVersion, m_displayName, m_hardwareId, m_skuId });
        m_displayName.clear();
        m_hardwareId.clear();
        m_skuId.clear();
    }
    XmlSaxParser::endElement(userData, name);
}
