// Reader of the summary a recording carries in its GPX track: the track type
// and the trk/extensions values, read as text.
#pragma once

#include "wifi/sync/xmlsaxparser.h"

struct TrackSummaryRecord {
    QString type;
    QString profile;
    QString time;
    QString length;
    QString timelength;
    QString minlat;
    QString minlon;
    QString maxlat;
    QString maxlon;
    QString avgspeed;
    QString maxspeed;
    QString minacceleration;
    QString maxacceleration;
    QString minaltitude;
    QString maxaltitude;
    QString totalascent;
    QString totaldescent;
    QString calories;
    QString avggrade;
    QString avgcadence;
    QString maxcadence;
    QString avgheartrate;
    QString minheartrate;
    QString maxheartrate;

    static constexpr int kFieldCount = 24;
    // Fields by index, in the order above.
    QString& field(int index);
    const QString& field(int index) const;
};

// Gives exactly one record per parse. The summary precedes the track points,
// so reading stops after the chunk in which the track segment begins.
class GpxXmlHandler : public XmlSaxParser<TrackSummaryRecord> {
public:
    GpxXmlHandler();

    void characters(void* userData, const XML_Char* text, int length) override;

protected:
    void clearForParse() override;
    bool readingDone() const override { return m_bSummaryComplete; }
    void finishParse() override;

private:
    TrackSummaryRecord m_record;
    TrackSummaryRecord m_working;
    bool m_bSummaryComplete;
};
