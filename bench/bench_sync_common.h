// What the sync benchmarks share: a Qt application, a device root of their
// own, the local sync service, and curl when the machine has it.
#pragma once

#include "sim/sync_server/sync_server.h"

#include <QByteArray>
#include <QString>

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

namespace kivo::bench {

// A fresh device root for the lifetime of the object (the previous one
// comes back afterwards).
class BenchDeviceRoot {
public:
    BenchDeviceRoot();
    ~BenchDeviceRoot();
    const std::string& path() const { return m_path; }
    // Writes a file under the root (folders made); returns its Linux path.
    std::string writeFile(const std::string& relative, const std::string& content) const;

private:
    std::string m_path;
    std::string m_previous;
};

// The path of the curl program, or empty when there is none.
std::string curlPath();

// Starts a program with arguments in this one's environment, its output
// discarded; its process id, or -1 when it cannot be started.
pid_t startQuiet(const std::vector<std::string>& argv);
// Runs a program with arguments, its output discarded; true when it exits 0.
bool runQuiet(const std::vector<std::string>& argv);

// A plain Qt client: one QNetworkAccessManager, requests waited for in an
// event loop. The floor of the sync engine's own transfers.
class PlainClient {
public:
    PlainClient();
    ~PlainClient();
    // POSTs body with the same headers as the sync transport; the answer's
    // body is written to answerFile. False on any failure.
    bool post(const QString& url, const QByteArray& gzipBody, const QString& answerFile);
    // GETs url into file. False on any failure.
    bool get(const QString& url, const QString& file);
    // Sends a request as recorded by the local service (its headers but
    // Host and Content-Length, its raw body); the answer goes to file.
    bool replay(const std::string& baseUrl, const kivo::sim::HttpRequest& request, const QString& file);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace kivo::bench
