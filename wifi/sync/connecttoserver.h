// The SOAP client of the sync service: chooses the service URL, builds the
// four request envelopes, posts them through the HTTP transport and waits
// for the answer, which the transport leaves in response.xml.
#pragma once

#include "wifi/sync/wifisynclogfile.h"

#include <QObject>
#include <QString>
#include <QStringList>

class QNavWebResponse;

class ConnectToServer : public QObject {
    Q_OBJECT
public:
    // rootPath: the drive the program's folders lie under ("/SystemDrive").
    explicit ConnectToServer(const QString& rootPath);
    ~ConnectToServer() override;

    // Each is true when an answer finished (it may still have failed at the
    // HTTP level: then there is no response.xml); false with an error text
    // ("Time out" when no answer came in time).
    bool getSessionID(const QString& uuid, const QString& skuid, const QString& modelName,
        const QString& firmwareVersion, QString& error);
    bool getTrackList(const QString& sessionID, const QString& uuid, const QString& metaDataRcf,
        const QString& metaDataTcf, QString& error);
    // trackContent arrives already XML-escaped and is sent as it is.
    bool uploadTrack(const QString& sessionID, const QString& uuid, const QString& sha512, const QString& metaType,
        const QString& metaData, const QStringList& trackContent, QString& error);
    // Sends getUploadAction.
    bool checkServerUploadSetting(const QString& uuid, const QString& sessionID, QString& error);

    bool sendRequest(const QStringList& pieces, QString& error);

    // The service URL in use.
    QString url() const { return m_szURL; }

    static QString productionUrl();
    static QString sandboxUrl();
    // The namespace of the service's own operations (prefix en).
    static const char kServiceNamespace[];

private:
    void readServerUrl();
    bool betaServerMarked() const;

    QNavWebResponse* m_pTransport;
    WiFiSyncLogFile* m_pLogFile;
    QString m_szRootPath;
    QString m_szURL;
};
