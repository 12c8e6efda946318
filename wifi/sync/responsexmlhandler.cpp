#include "wifi/sync/responsexmlhandler.h"

#include <iterator>

namespace {

enum State {
    Envelope = 1,
    Body,
    SessionIdResponse,
    SessionIdReturn,
    TrackListResponse,
    TrackListReturn,
    TrackList2Response,
    TrackList2Return,
    UploadTrackResponse,
    UploadTrackReturn,
    UploadActionResponse,
    UploadActionReturn,
};

const kivo::sync::XmlElementRow kResponseTable[] = {
    { u"SOAP-ENV:Envelope", 0, Envelope },
    { u"SOAP-ENV:Body", Envelope, Body },
    { u"ns1:getSessionIDResponse", Body, SessionIdResponse },
    { u"return", SessionIdResponse, SessionIdReturn },
    { u"ns1:getTrackListResponse", Body, TrackListResponse },
    { u"return", TrackListResponse, TrackListReturn },
    { u"ns1:getTrackList2Response", Body, TrackList2Response },
    { u"return", TrackList2Response, TrackList2Return },
    { u"ns1:uploadTrackResponse", Body, UploadTrackResponse },
    { u"return", UploadTrackResponse, UploadTrackReturn },
    { u"ns1:getUploadActionResponse", Body, UploadActionResponse },
    { u"return", UploadActionResponse, UploadActionReturn },
};

} // namespace

ResponseXmlHandler::ResponseXmlHandler()
    : XmlSaxParser(kResponseTable, int(std::size(kResponseTable)))
{
    clearForParse();
}

void ResponseXmlHandler::clearForParse()
{
    m_response = ServerResponseRecord();
}

void ResponseXmlHandler::characters(void*, const XML_Char* text, int length)
{
    switch (currentState()) {
    case SessionIdReturn:
        m_response.sessionIdText += kivo::sync::xmlText(text, length);
        break;
    case TrackListReturn:
    case TrackList2Return:
        m_response.trackListText += kivo::sync::xmlText(text, length);
        break;
    case UploadTrackReturn:
        m_response.uploadTrackText += kivo::sync::xmlText(text, length);
        break;
    case UploadActionReturn:
        m_response.uploadActionText += kivo::sync::xmlText(text, length);
        break;
    default:
        break;
    }
}
