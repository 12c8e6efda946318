// The cloud sync service's SOAP operations on top of the local HTTP server:
// getSessionID, getUploadAction, getTrackList and uploadTrack at the
// production and the sandbox path, track downloads under "/tracks/", a
// session, an upload setting and an action list per device, and a store
// folder for uploaded tracks.
//
// Its reading of what a client sends is strict: a body that is not a
// well-formed SOAP 1.1 envelope of one known operation with exactly its
// parameters, in order, typed xsd:string, is answered with HTTP 500 and
// recorded as a fault, so a client's mistakes show up in tests.
#pragma once

#include "sim/sync_server/sync_server.h"

#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace kivo::sim {

// One element of a device's action list.
struct SyncAction {
    std::string action; // "download", "upload", "delete" (or anything, for tests)
    std::string title;
    std::string url;
    std::string hash;
};

// One SOAP call as the service understood it.
struct SoapCall {
    std::string path;
    std::string operation; // without prefix
    std::vector<std::pair<std::string, std::string>> params; // in order, unescaped
    std::string param(const std::string& name) const;
};

struct StoredUpload {
    std::string uuid;
    std::string sha512;
    std::string metaType;
    std::string metaData;
    std::string content; // the GPX text, unescaped
    std::string file; // where the store keeps it
};

class SyncService {
public:
    static constexpr const char* kProductionPath = "/v2/SyncService.php";
    static constexpr const char* kSandboxPath = "/pedara/sandbox/wifisync/v1/SyncService.php";
    static constexpr const char* kNamespace = "urn:KivoShareSyncService";

    // Routes the operations and downloads on server. storeDir receives
    // uploads (storeDir/uploads) and keeps the tracks to download
    // (storeDir/downloads); both are made when missing.
    SyncService(SyncServer& server, std::string storeDir);

    // What getUploadAction returns; "dont_delete_after_upload" at first.
    void setUploadSetting(const std::string& text);
    // The action list getTrackList returns to the device with this uuid, as
    // JSON; a device without one gets "[]".
    void setActions(const std::string& uuid, const std::vector<SyncAction>& actions);
    // The answer text itself (for lists a client cannot read).
    void setActionListText(const std::string& uuid, const std::string& text);
    // Puts a track into the download folder under a name of the service's
    // choosing and returns the URL to fetch it by; the URL carries a query
    // without which the download is refused (404).
    std::string addDownload(const std::string& content);

    // The next call of operation answers with this return text instead.
    void scriptReturn(const std::string& operation, const std::string& text);
    // The next call of operation gets this HTTP answer instead (an error
    // status, a stall, a dropped connection).
    void scriptHttp(const std::string& operation, HttpResponse response);

    // The session handed to the device, or empty.
    std::string sessionOf(const std::string& uuid) const;
    std::vector<SoapCall> calls() const;
    // Envelopes refused as malformed, with the reason.
    std::vector<std::string> faults() const;
    std::vector<StoredUpload> uploads() const;
    // What happened, in order: "session <uuid>", "setting <uuid>",
    // "tracklist <uuid>", "upload <sha512>", "download <name>",
    // "refused <reason>".
    std::vector<std::string> events() const;
    // The catalogs the device last sent with getTrackList.
    std::pair<std::string, std::string> catalogsOf(const std::string& uuid) const;

    // Reads a SOAP request envelope; false with the reason when it is not
    // one this service accepts. For the service and its fuzz target.
    static bool parseEnvelope(const std::string& body, SoapCall* call, std::string* reason);
    // The answer envelope of operation with its return text.
    static std::string answerEnvelope(const std::string& operation, const std::string& text);
    // A JSON text of the actions, as getTrackList returns it.
    static std::string actionListJson(const std::vector<SyncAction>& actions);

private:
    HttpResponse handle(const HttpRequest& request);
    HttpResponse download(const HttpRequest& request);
    // The return text of a well-formed call, under the lock.
    std::string run(const SoapCall& call);
    void note(const std::string& event);

    SyncServer& m_server;
    std::string m_store;
    mutable std::mutex m_mutex;
    std::string m_uploadSetting = "dont_delete_after_upload";
    std::map<std::string, std::string> m_actionLists; // uuid -> JSON
    std::map<std::string, std::string> m_sessions; // uuid -> session
    std::map<std::string, std::pair<std::string, std::string>> m_catalogs;
    std::map<std::string, std::vector<std::string>> m_scriptedReturns; // operation -> texts
    std::map<std::string, std::vector<HttpResponse>> m_scriptedHttp;
    std::map<std::string, std::string> m_downloads; // file name -> required query
    std::vector<SoapCall> m_calls;
    std::vector<std::string> m_faults;
    std::vector<StoredUpload> m_uploads;
    std::vector<std::string> m_events;
    int m_nextSession = 1;
    int m_nextDownload = 1;
};

} // namespace kivo::sim
