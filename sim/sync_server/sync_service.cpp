#include "sim/sync_server/sync_service.h"

#include <QString>
#include <QXmlStreamReader>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace kivo::sim {

namespace {

const char kSoapEnv[] = "http://schemas.xmlsoap.org/soap/envelope/";
const char kXsi[] = "http://www.w3.org/2001/XMLSchema-instance";
const char kSoapEncoding[] = "http://schemas.xmlsoap.org/soap/encoding/";

struct Operation {
    const char* name;
    bool serviceNamespace; // en:getTrackList, en:getUploadAction
    std::vector<std::string> params;
};

const std::vector<Operation>& operations()
{
    static const std::vector<Operation> ops = {
        { "getSessionID", false, { "uuid", "skuid", "modelName", "firmwareVersion" } },
        { "getTrackList", true, { "sessionID", "uuid", "metaData_rcf", "metaData_tcf" } },
        { "uploadTrack", false, { "sessionID", "uuid", "sha512", "metaType", "metaData", "trackContent" } },
        { "getUploadAction", true, { "sessionID", "uuid" } },
    };
    return ops;
}

std::string xmlEscaped(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string jsonEscaped(const std::string& text)
{
    std::string out;
    for (unsigned char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += char(c);
            }
        }
    }
    return out;
}

} // namespace

std::string SoapCall::param(const std::string& name) const
{
    for (const auto& p : params)
        if (p.first == name)
            return p.second;
    return {};
}

bool SyncService::parseEnvelope(const std::string& body, SoapCall* call, std::string* reason)
{
    QXmlStreamReader xml(QByteArray::fromRawData(body.data(), int(body.size())));
    auto fail = [&](const std::string& why) {
        *reason = why;
        if (xml.hasError())
            *reason += ": " + xml.errorString().toStdString();
        return false;
    };
    // The next start element, with nothing but whitespace before it.
    auto nextStart = [&]() {
        while (!xml.atEnd()) {
            const auto token = xml.readNext();
            if (token == QXmlStreamReader::StartElement)
                return true;
            if (token == QXmlStreamReader::EndElement || (token == QXmlStreamReader::Characters && !xml.isWhitespace()))
                return false;
        }
        return false;
    };
    auto nextEnd = [&]() {
        while (!xml.atEnd()) {
            const auto token = xml.readNext();
            if (token == QXmlStreamReader::EndElement)
                return true;
            if (token == QXmlStreamReader::StartElement || (token == QXmlStreamReader::Characters && !xml.isWhitespace()))
                return false;
        }
        return false;
    };

    if (!nextStart() || xml.namespaceUri() != QLatin1String(kSoapEnv) || xml.name() != QLatin1String("Envelope"))
        return fail("no SOAP envelope");
    if (!nextStart() || xml.namespaceUri() != QLatin1String(kSoapEnv))
        return fail("no SOAP header or body");
    if (xml.name() == QLatin1String("Header")) {
        xml.skipCurrentElement();
        if (!nextStart() || xml.namespaceUri() != QLatin1String(kSoapEnv))
            return fail("no SOAP body");
    }
    if (xml.name() != QLatin1String("Body"))
        return fail("no SOAP body");
    if (!nextStart())
        return fail("no operation");

    const Operation* op = nullptr;
    for (const Operation& candidate : operations())
        if (xml.name() == QLatin1String(candidate.name))
            op = &candidate;
    if (!op)
        return fail("unknown operation " + xml.qualifiedName().toString().toStdString());
    const QString expectedNs = op->serviceNamespace ? QString(kNamespace) : QString();
    if (xml.namespaceUri() != expectedNs)
        return fail(std::string("operation ") + op->name + " in namespace '" + xml.namespaceUri().toString().toStdString() + "'");
    if (xml.attributes().value(kSoapEnv, "encodingStyle") != QLatin1String(kSoapEncoding))
        return fail(std::string("operation ") + op->name + " without the SOAP encoding style");
    call->operation = op->name;
    call->params.clear();

    for (const std::string& name : op->params) {
        if (!nextStart() || xml.name() != QString::fromStdString(name) || !xml.namespaceUri().isEmpty())
            return fail("parameter " + name + " missing or out of order in " + op->name);
        if (xml.attributes().value(kXsi, "type") != QLatin1String("xsd:string"))
            return fail("parameter " + name + " not typed xsd:string");
        const QString value = xml.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement);
        if (xml.hasError())
            return fail("parameter " + name + " is not text");
        call->params.emplace_back(name, value.toStdString());
    }
    if (!nextEnd())
        return fail(std::string("more than the parameters of ") + op->name);
    if (!nextEnd() || xml.name() != QLatin1String("Body"))
        return fail("more than one operation in the body");
    if (!nextEnd() || xml.name() != QLatin1String("Envelope"))
        return fail("more than the body in the envelope");
    while (!xml.atEnd())
        if (xml.readNext() == QXmlStreamReader::StartElement)
            return fail("content after the envelope");
    if (xml.hasError())
        return fail("malformed XML");
    return true;
}

std::string SyncService::answerEnvelope(const std::string& operation, const std::string& text)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
           "<SOAP-ENV:Envelope xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\" xmlns:ns1=\""
        + std::string(kNamespace)
        + "\" xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
          "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"><SOAP-ENV:Body><ns1:"
        + operation + "Response><return xsi:type=\"xsd:string\">" + xmlEscaped(text) + "</return></ns1:" + operation
        + "Response></SOAP-ENV:Body></SOAP-ENV:Envelope>";
}

std::string SyncService::actionListJson(const std::vector<SyncAction>& actions)
{
    std::string json = "[";
    for (size_t i = 0; i < actions.size(); ++i) {
        const SyncAction& a = actions[i];
        json += (i ? "," : "") + std::string("{\"o_action\":\"") + jsonEscaped(a.action) + "\",\"o_title\":\""
            + jsonEscaped(a.title) + "\",\"o_url\":\"" + jsonEscaped(a.url) + "\",\"o_hash\":\"" + jsonEscaped(a.hash)
            + "\"}";
    }
    return json + "]";
}

SyncService::SyncService(SyncServer& server, std::string storeDir)
    : m_server(server)
    , m_store(std::move(storeDir))
{
    std::error_code ec;
    std::filesystem::create_directories(m_store + "/uploads", ec);
    std::filesystem::create_directories(m_store + "/downloads", ec);
    for (const char* path : { kProductionPath, kSandboxPath })
        m_server.addRoute("POST", path, [this](const HttpRequest& r) { return handle(r); });
    m_server.addRoute("GET", "/tracks/", [this](const HttpRequest& r) { return download(r); });
}

void SyncService::setUploadSetting(const std::string& text)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_uploadSetting = text;
}

void SyncService::setActions(const std::string& uuid, const std::vector<SyncAction>& actions)
{
    setActionListText(uuid, actionListJson(actions));
}

void SyncService::setActionListText(const std::string& uuid, const std::string& text)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_actionLists[uuid] = text;
}

std::string SyncService::addDownload(const std::string& content)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const int n = m_nextDownload++;
    const std::string name = "track" + std::to_string(n) + ".gpx";
    const std::string query = "id=" + std::to_string(n) + "&key=k" + std::to_string(n * 7919);
    std::ofstream(m_store + "/downloads/" + name, std::ios::binary) << content;
    m_downloads[name] = query;
    return m_server.baseUrl() + "/tracks/" + name + "?" + query;
}

void SyncService::scriptReturn(const std::string& operation, const std::string& text)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_scriptedReturns[operation].push_back(text);
}

void SyncService::scriptHttp(const std::string& operation, HttpResponse response)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_scriptedHttp[operation].push_back(std::move(response));
}

std::string SyncService::sessionOf(const std::string& uuid) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_sessions.find(uuid);
    return it == m_sessions.end() ? std::string() : it->second;
}

std::vector<SoapCall> SyncService::calls() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_calls;
}

std::vector<std::string> SyncService::faults() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_faults;
}

std::vector<StoredUpload> SyncService::uploads() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_uploads;
}

std::vector<std::string> SyncService::events() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_events;
}

std::pair<std::string, std::string> SyncService::catalogsOf(const std::string& uuid) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_catalogs.find(uuid);
    return it == m_catalogs.end() ? std::pair<std::string, std::string>() : it->second;
}

void SyncService::note(const std::string& event)
{
    m_events.push_back(event);
}

HttpResponse SyncService::handle(const HttpRequest& request)
{
    SoapCall call;
    call.path = request.path;
    std::string reason;
    bool ok;
    if (request.header("Content-Encoding") != "gzip")
        ok = false, reason = "body not gzip-encoded";
    else if (!request.bodyDecoded)
        ok = false, reason = "broken gzip body";
    else
        ok = parseEnvelope(request.body, &call, &reason);

    std::lock_guard<std::mutex> lock(m_mutex);
    if (!ok) {
        m_faults.push_back(reason);
        note("refused " + reason);
        return HttpResponse::text(500,
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?><SOAP-ENV:Envelope xmlns:SOAP-ENV=\"" + std::string(kSoapEnv)
                + "\"><SOAP-ENV:Body><SOAP-ENV:Fault><faultcode>SOAP-ENV:Client</faultcode><faultstring>"
                + xmlEscaped(reason) + "</faultstring></SOAP-ENV:Fault></SOAP-ENV:Body></SOAP-ENV:Envelope>");
    }
    m_calls.push_back(call);
    auto http = m_scriptedHttp.find(call.operation);
    if (http != m_scriptedHttp.end() && !http->second.empty()) {
        HttpResponse scripted = std::move(http->second.front());
        http->second.erase(http->second.begin());
        return scripted;
    }
    std::string text;
    auto scripted = m_scriptedReturns.find(call.operation);
    if (scripted != m_scriptedReturns.end() && !scripted->second.empty()) {
        text = scripted->second.front();
        scripted->second.erase(scripted->second.begin());
    } else {
        text = run(call);
    }
    return HttpResponse::text(200, answerEnvelope(call.operation, text));
}

std::string SyncService::run(const SoapCall& call)
{
    const std::string uuid = call.param("uuid");
    if (call.operation == "getSessionID") {
        if (uuid.empty() || call.param("skuid").empty())
            return "Error: device identity missing";
        std::string& session = m_sessions[uuid];
        session = "S" + std::to_string(m_nextSession++) + "-" + std::to_string(std::hash<std::string>()(uuid) % 100000);
        note("session " + uuid);
        return session;
    }
    auto it = m_sessions.find(uuid);
    if (it == m_sessions.end() || it->second != call.param("sessionID"))
        return "Error: invalid session";
    if (call.operation == "getUploadAction") {
        note("setting " + uuid);
        return m_uploadSetting;
    }
    if (call.operation == "getTrackList") {
        m_catalogs[uuid] = { call.param("metaData_rcf"), call.param("metaData_tcf") };
        note("tracklist " + uuid);
        auto list = m_actionLists.find(uuid);
        return list == m_actionLists.end() ? "[]" : list->second;
    }
    // uploadTrack
    const std::string sha = call.param("sha512");
    if (sha.size() != 128 || sha.find_first_not_of("0123456789abcdef") != std::string::npos)
        return "Error: bad sha512";
    if (call.param("metaType") != "RCF" && call.param("metaType") != "TCF")
        return "Error: bad metaType";
    StoredUpload up { uuid, sha, call.param("metaType"), call.param("metaData"), call.param("trackContent"),
        m_store + "/uploads/" + sha + ".gpx" };
    std::ofstream(up.file, std::ios::binary) << up.content;
    std::ofstream(m_store + "/uploads/" + sha + ".json", std::ios::binary)
        << "{\"metaType\":\"" << up.metaType << "\",\"metaData\":" << (up.metaData.empty() ? "null" : up.metaData)
        << "}";
    m_uploads.push_back(up);
    note("upload " + sha);
    return "success";
}

HttpResponse SyncService::download(const HttpRequest& request)
{
    const std::string name = request.path.substr(std::string("/tracks/").size());
    std::string query;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_downloads.find(name);
        if (it == m_downloads.end() || it->second != request.query) {
            note("refused download " + request.target);
            return HttpResponse::text(404, "no such track\n", "text/plain");
        }
        note("download " + name);
    }
    std::ifstream file(m_store + "/downloads/" + name, std::ios::binary);
    std::string content((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    return HttpResponse::text(200, content, "application/gpx+xml");
}

} // namespace kivo::sim
