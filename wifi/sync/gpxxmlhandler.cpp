#include "wifi/sync/gpxxmlhandler.h"

#include <iterator>

namespace {

enum State {
    Gpx = 1,
    Trk = 2,
    Type = 3,
    Extensions = 4,
    FirstExtensionField = 5, // profile
    LastExtensionField = 27, // maxheartrate
    TrkSeg = 28,
};

const kivo::sync::XmlElementRow kGpxTable[] = {
    { u"gpx", 0, Gpx },
    { u"trk", Gpx, Trk },
    { u"type", Trk, Type },
    { u"extensions", Trk, Extensions },
    { u"profile", Extensions, 5 },
    { u"time", Extensions, 6 },
    { u"length", Extensions, 7 },
    { u"timelength", Extensions, 8 },
    { u"minlat", Extensions, 9 },
    { u"minlon", Extensions, 10 },
    { u"maxlat", Extensions, 11 },
    { u"maxlon", Extensions, 12 },
    { u"avgspeed", Extensions, 13 },
    { u"maxspeed", Extensions, 14 },
    { u"minacceleration", Extensions, 15 },
    { u"maxacceleration", Extensions, 16 },
    { u"minaltitude", Extensions, 17 },
    { u"maxaltitude", Extensions, 18 },
    { u"totalascent", Extensions, 19 },
    { u"totaldescent", Extensions, 20 },
    { u"calories", Extensions, 21 },
    { u"avggrade", Extensions, 22 },
    { u"avgcadence", Extensions, 23 },
    { u"maxcadence", Extensions, 24 },
    { u"avgheartrate", Extensions, 25 },
    { u"minheartrate", Extensions, 26 },
    { u"maxheartrate", Extensions, LastExtensionField },
    { u"trkseg", Trk, TrkSeg },
};

} // namespace

QString& TrackSummaryRecord::field(int index)
{
    QString* fields[kFieldCount] = { &type, &profile, &time, &length, &timelength, &minlat, &minlon, &maxlat, &maxlon,
        &avgspeed, &maxspeed, &minacceleration, &maxacceleration, &minaltitude, &maxaltitude, &totalascent,
        &totaldescent, &calories, &avggrade, &avgcadence, &maxcadence, &avgheartrate, &minheartrate, &maxheartrate };
    return *fields[index];
}

const QString& TrackSummaryRecord::field(int index) const
{
    return const_cast<TrackSummaryRecord*>(this)->field(index);
}

GpxXmlHandler::GpxXmlHandler()
    : XmlSaxParser(kGpxTable, int(std::size(kGpxTable)))
    , m_bSummaryComplete(false)
{
    clearForParse();
}

void GpxXmlHandler::clearForParse()
{
    m_working = TrackSummaryRecord();
    // A handler parsing a second file must not carry the first file's values.
    m_record = TrackSummaryRecord();
    m_bSummaryComplete = false;
}

void GpxXmlHandler::characters(void*, const XML_Char* text, int length)
{
    const int state = currentState();
    int index = -1;
    if (state == Type)
        index = 0;
    else if (state >= FirstExtensionField && state <= LastExtensionField)
        index = state - FirstExtensionField + 1;
    else if (state == TrkSeg)
        m_bSummaryComplete = true;
    if (index < 0)
        return;
    QString& working = m_working.field(index);
    working += kivo::sync::xmlText(text, length);
    m_record.field(index) = working;
}

void GpxXmlHandler::finishParse()
{
    m_records.append(m_record);
}
