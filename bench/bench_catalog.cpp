// The start of a sync run: scanning the Tracks folder, hashing every GPX file
// and writing the catalogs RCF.txt (recordings, with their summaries) and
// TCF.txt (3rdParty tracks), and looking entries up by hash. The floor does
// the same reads, hashes, summary parses and writes with plain code.
#include "wifi/sync/gpxxmlhandler.h"
#include "wifi/sync/wifisync.h"

#include "platform/paths.h"

#include <benchmark/benchmark.h>

#include <QCryptographicHash>
#include <QFile>

#include <expat.h>
#include <json/json.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

// A recording as the device writes it: the summary in trk/extensions, then
// the track points.
std::string recording(int n, int points)
{
    std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                    "<gpx version=\"1.1\" creator=\"Pedara\">\n <trk>\n  <name>Ride "
        + std::to_string(n)
        + "</name>\n  <type>Cycling</type>\n  <extensions>\n"
          "   <profile>Profile1</profile><time>2013-05-04T17:03:"
        + std::to_string(10 + n % 50)
        + "Z</time><length>12.5</length><timelength>3600</timelength>\n"
          "   <minlat>47.1</minlat><minlon>8.2</minlon><maxlat>47.3</maxlat><maxlon>8.5</maxlon>\n"
          "   <avgspeed>12.5</avgspeed><maxspeed>40.1</maxspeed><minacceleration>-1.2</minacceleration>"
          "<maxacceleration>2.3</maxacceleration>\n"
          "   <minaltitude>400</minaltitude><maxaltitude>900</maxaltitude><totalascent>500</totalascent>"
          "<totaldescent>480</totaldescent>\n"
          "   <calories>700</calories><avggrade>1.5</avggrade><avgcadence>80</avgcadence>"
          "<maxcadence>110</maxcadence>\n"
          "   <avgheartrate>140</avgheartrate><minheartrate>90</minheartrate><maxheartrate>180</maxheartrate>\n"
          "  </extensions>\n  <trkseg>\n";
    for (int p = 0; p < points; ++p)
        x += "   <trkpt lat=\"47." + std::to_string(100000 + p) + "\" lon=\"8." + std::to_string(200000 + n)
            + "\"><ele>412.5</ele><time>2013-05-04T17:03:21Z</time></trkpt>\n";
    return x + "  </trkseg>\n </trk>\n</gpx>\n";
}

// Tracks of `recordings` recordings in ten profile folders and a tenth as
// many 3rdParty tracks, made once per size in a device root of its own.
struct TrackTree {
    explicit TrackTree(int recordings)
    {
        std::string tmpl = (std::filesystem::temp_directory_path() / "kivo-bench-catalog-XXXXXX").string();
        if (!mkdtemp(tmpl.data()))
            std::abort();
        root = tmpl;
        ce::setDeviceRoot(root);
        const std::string tracks = ce::resolvePath("/DataDrive/Falmo/Tracks", true);
        for (int i = 0; i < recordings; ++i) {
            const std::string folder = tracks + "/Profile" + std::to_string(i % 10);
            std::filesystem::create_directories(folder);
            write(folder + "/Ride" + std::to_string(i) + ".gpx", recording(i, 20));
        }
        std::filesystem::create_directories(tracks);
        for (int i = 0; i < recordings / 10; ++i)
            write(tracks + "/Track" + std::to_string(i) + ".gpx", recording(recordings + i, 20));
    }
    ~TrackTree()
    {
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
    void write(const std::string& path, const std::string& content)
    {
        std::ofstream(path, std::ios::binary) << content;
        files.push_back(path);
    }

    std::string root;
    std::vector<std::string> files; // local paths
};

TrackTree& tree(int recordings)
{
    static std::map<int, std::unique_ptr<TrackTree>> trees;
    std::unique_ptr<TrackTree>& t = trees[recordings];
    if (!t)
        t = std::make_unique<TrackTree>(recordings);
    ce::setDeviceRoot(t->root);
    return *t;
}

void SyncCatalogs(benchmark::State& state)
{
    tree(int(state.range(0)));
    for (auto _ : state) {
        WiFiSync sync;
        sync.scanOwnRecordings(sync.tracksFolder());
        sync.scan3rdPartyTracks(sync.tracksFolder());
        sync.generateRCFFile(sync.catalogFolder());
        sync.generateTCFFile(sync.catalogFolder());
    }
    state.counters["files"] = double(tree(int(state.range(0))).files.size());
}
BENCHMARK(SyncCatalogs)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

// The plain way to the same catalogs: each folder listed and sorted, each
// file read once (the first chunk of a recording, the hashed head of a
// track), its head hashed, a recording's first chunk parsed with expat for
// the summary values, and each catalog's JSON text written out.
struct SummaryReader {
    std::vector<std::u16string> path; // open elements
    std::map<std::u16string, std::u16string> values; // "type" and the extensions' fields
    XML_Parser parser = nullptr;

    static void start(void* self, const XML_Char* name, const XML_Char**)
    {
        auto* r = static_cast<SummaryReader*>(self);
        r->path.emplace_back(reinterpret_cast<const char16_t*>(name));
        if (r->path.size() == 3 && r->path[1] == u"trk" && r->path[2] == u"trkseg")
            XML_StopParser(r->parser, XML_FALSE);
    }
    static void end(void* self, const XML_Char*) { static_cast<SummaryReader*>(self)->path.pop_back(); }
    static void text(void* self, const XML_Char* s, int length)
    {
        auto* r = static_cast<SummaryReader*>(self);
        const auto& p = r->path;
        if ((p.size() == 3 && p[1] == u"trk" && p[2] == u"type")
            || (p.size() == 4 && p[1] == u"trk" && p[2] == u"extensions"))
            r->values[p.back()].append(reinterpret_cast<const char16_t*>(s), size_t(length));
    }

    void read(const char* data, size_t size, bool whole)
    {
        path.clear();
        values.clear();
        parser = XML_ParserCreate(nullptr);
        XML_SetUserData(parser, this);
        XML_SetElementHandler(parser, start, end);
        XML_SetCharacterDataHandler(parser, text);
        XML_Parse(parser, data, int(size), whole ? XML_TRUE : XML_FALSE);
        XML_ParserFree(parser);
    }
};

void appendJson(std::string& out, const char* key, const std::string& value)
{
    out += '"';
    out += key;
    out += "\":\"";
    for (const char c : value) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    out += '"';
}

std::string utf8(const std::u16string& s)
{
    return QString::fromUtf16(s.data(), int(s.size())).toStdString();
}

const char* const kFloorSummaryKeys[] = { "type", "profile", "time", "length", "timelength", "minlat", "minlon",
    "maxlat", "maxlon", "avgspeed", "maxspeed", "minacceleration", "maxacceleration", "minaltitude", "maxaltitude",
    "totalascent", "totaldescent", "calories", "avggrade", "avgcadence", "maxcadence", "avgheartrate", "minheartrate",
    "maxheartrate" };

// The sorted GPX files of a folder, and its sorted sub-folders.
void listFolder(const std::string& folder, std::vector<std::string>* files, std::vector<std::string>* folders)
{
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
        const std::string name = e.path().filename().string();
        if (e.is_directory())
            folders->push_back(name);
        else if (name.size() > 4 && name.compare(name.size() - 4, 4, ".gpx") == 0)
            files->push_back(name);
    }
    std::sort(files->begin(), files->end());
    std::sort(folders->begin(), folders->end());
}

std::string plainCatalog(const std::string& tracks, const std::vector<std::string>& devicePaths, bool rcf)
{
    static char buffer[GpxXmlHandler::kChunkBytes];
    const size_t limit = rcf ? sizeof buffer : 1499;
    std::string text = "[";
    SummaryReader reader;
    for (const std::string& devicePath : devicePaths) {
        const std::string path = tracks + devicePath.substr(std::strlen("/DataDrive/Falmo/Tracks"));
        std::FILE* f = std::fopen(path.c_str(), "rb");
        const size_t got = std::fread(buffer, 1, limit, f);
        struct stat st;
        ::fstat(fileno(f), &st);
        std::fclose(f);
        const std::string hash = QCryptographicHash::hash(QByteArray::fromRawData(buffer, int(std::min<size_t>(got, 1499))),
            QCryptographicHash::Sha512).toHex().toStdString();
        const std::string name = devicePath.substr(devicePath.rfind('/') + 1);
        if (text.size() > 1)
            text += ',';
        text += '{';
        appendJson(text, "o_file", name);
        text += ',';
        appendJson(text, "o_file_location", devicePath);
        text += ',';
        appendJson(text, "o_filesize", std::to_string(st.st_size));
        text += ',';
        appendJson(text, "o_track_name", name.substr(0, name.size() - 4));
        if (rcf) {
            reader.read(buffer, got, got < limit);
            for (const char* key : kFloorSummaryKeys) {
                text += ',';
                appendJson(text, (std::string("o_") + key).c_str(), utf8(reader.values[std::u16string(key, key + std::strlen(key))]));
            }
        }
        text += ',';
        appendJson(text, "o_hash", hash);
        text += '}';
    }
    return text + "]";
}

void writeWhole(const std::string& path, const std::string& text)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
}

void SyncCatalogs_Floor(benchmark::State& state)
{
    tree(int(state.range(0)));
    const std::string base = "/DataDrive/Falmo/Tracks";
    const std::string tracks = ce::resolvePath(base, true);
    const std::string catalogs = ce::resolvePath("/SystemDrive/Falmo/Program/WiFi/Log/RCF_TCF", true);
    std::filesystem::create_directories(catalogs);
    for (auto _ : state) {
        std::vector<std::string> own;
        std::vector<std::string> others;
        std::vector<std::string> files;
        std::vector<std::string> folders;
        listFolder(tracks, &files, &folders);
        for (const std::string& name : files)
            others.push_back(base + "/" + name);
        for (const std::string& folder : folders) {
            std::vector<std::string> inner;
            std::vector<std::string> unused;
            listFolder(tracks + "/" + folder, &inner, &unused);
            for (const std::string& name : inner)
                own.push_back(base + "/" + folder + "/" + name);
        }
        writeWhole(catalogs + "/RCF.txt", plainCatalog(tracks, own, true));
        writeWhole(catalogs + "/TCF.txt", plainCatalog(tracks, others, false));
    }
}
BENCHMARK(SyncCatalogs_Floor)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

// The hashes of a written RCF.txt, in catalog order.
std::vector<std::string> catalogHashes(std::string& text)
{
    std::ifstream in(ce::resolvePath("/SystemDrive/Falmo/Program/WiFi/Log/RCF_TCF/RCF.txt"), std::ios::binary);
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    Json::CharReaderBuilder builder;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value root;
    std::string errors;
    std::vector<std::string> hashes;
    if (reader->parse(text.data(), text.data() + text.size(), &root, &errors))
        for (const Json::Value& entry : root)
            hashes.push_back(entry["o_hash"].asString());
    return hashes;
}

struct WrittenCatalogs {
    std::string text;
    std::vector<std::string> hashes;
};

WrittenCatalogs& written(int recordings)
{
    static std::map<int, WrittenCatalogs> done;
    tree(recordings);
    WrittenCatalogs& w = done[recordings];
    if (w.hashes.empty()) {
        WiFiSync sync;
        sync.scanOwnRecordings(sync.tracksFolder());
        sync.generateRCFFile(sync.catalogFolder());
        w.hashes = catalogHashes(w.text);
    }
    return w;
}

// Every recording of the catalog looked up by its hash, as a run's
// deletions and uploads do, by a fresh engine.
void CatalogLookups(benchmark::State& state)
{
    const WrittenCatalogs& w = written(int(state.range(0)));
    for (auto _ : state) {
        WiFiSync sync;
        for (const std::string& hash : w.hashes) {
            QString location;
            sync.deleteTrackViaHashCode(true, QString::fromStdString(hash), location);
            benchmark::DoNotOptimize(location);
        }
    }
    if (w.hashes.size() != size_t(state.range(0)))
        state.SkipWithError("catalog not written");
}
BENCHMARK(CatalogLookups)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void CatalogLookups_Floor(benchmark::State& state)
{
    const WrittenCatalogs& w = written(int(state.range(0)));
    for (auto _ : state) {
        Json::CharReaderBuilder builder;
        const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
        Json::Value root;
        std::string errors;
        reader->parse(w.text.data(), w.text.data() + w.text.size(), &root, &errors);
        std::unordered_map<std::string, std::string> byHash;
        for (const Json::Value& entry : root)
            byHash.emplace(entry["o_hash"].asString(), entry["o_file_location"].asString());
        for (const std::string& hash : w.hashes)
            benchmark::DoNotOptimize(byHash.find(hash));
    }
}
BENCHMARK(CatalogLookups_Floor)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace
