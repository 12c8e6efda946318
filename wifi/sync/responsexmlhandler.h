// Reader of a saved SOAP answer (response.xml): the return text of each of
// the sync service's operations.
#pragma once

#include "wifi/sync/xmlsaxparser.h"

struct ServerResponseRecord {
    QString sessionIdText;
    QString trackListText;
    QString uploadTrackText;
    QString uploadActionText;
};

// Keeps its texts in one record (response()); records() stays empty.
class ResponseXmlHandler : public XmlSaxParser<ServerResponseRecord> {
public:
    ResponseXmlHandler();

    void characters(void* userData, const XML_Char* text, int length) override;

    const ServerResponseRecord& response() const { return m_response; }

protected:
    void clearForParse() override;

private:
    ServerResponseRecord m_response;
};
