#include "bench/bench_sync_common.h"

#include "platform/paths.h"

#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

extern char** environ;

namespace kivo::bench {

BenchDeviceRoot::BenchDeviceRoot()
{
    std::string tmpl = (std::filesystem::temp_directory_path() / "kivo-sync-bench-XXXXXX").string();
    if (mkdtemp(tmpl.data()))
        m_path = tmpl;
    m_previous = ce::deviceRoot();
    ce::setDeviceRoot(m_path);
}

BenchDeviceRoot::~BenchDeviceRoot()
{
    ce::setDeviceRoot(m_previous);
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

std::string BenchDeviceRoot::writeFile(const std::string& relative, const std::string& content) const
{
    const std::filesystem::path file = std::filesystem::path(m_path) / relative;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << content;
    return file.string();
}

std::string curlPath()
{
    for (const char* candidate : { "/usr/bin/curl", "/usr/local/bin/curl", "/bin/curl" })
        if (::access(candidate, X_OK) == 0)
            return candidate;
    return {};
}

pid_t startQuiet(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

bool runQuiet(const std::vector<std::string>& args)
{
    const pid_t pid = startQuiet(args);
    if (pid < 0)
        return false;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid)
        return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

struct PlainClient::Impl {
    QNetworkAccessManager manager;

    bool finish(QNetworkReply* reply, const QString& file)
    {
        QFile out(file);
        bool ok = out.open(QIODevice::WriteOnly | QIODevice::Truncate);
        QObject::connect(reply, &QNetworkReply::readyRead, [&] { out.write(reply->readAll()); });
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        if (!reply->isFinished())
            loop.exec();
        out.write(reply->readAll());
        ok = ok && reply->error() == QNetworkReply::NoError;
        // Deleted now: a later deletion would wait for an event loop that
        // this one, outside every loop, does not return to, and a long
        // replay would keep every reply it made.
        delete reply;
        return ok;
    }
};

PlainClient::PlainClient()
    : m_impl(std::make_unique<Impl>())
{
}

PlainClient::~PlainClient() = default;

bool PlainClient::post(const QString& url, const QByteArray& gzipBody, const QString& answerFile)
{
    QNetworkRequest request { QUrl(url) };
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("text/xml; charset=utf-8"));
    request.setRawHeader("Expect", "100-continue");
    request.setRawHeader("SOAPAction", "");
    request.setRawHeader("Content-Encoding", "gzip");
    return m_impl->finish(m_impl->manager.post(request, gzipBody), answerFile);
}

bool PlainClient::get(const QString& url, const QString& file)
{
    return m_impl->finish(m_impl->manager.get(QNetworkRequest(QUrl(url))), file);
}

bool PlainClient::replay(const std::string& baseUrl, const kivo::sim::HttpRequest& recorded, const QString& file)
{
    QNetworkRequest request(QUrl(QString::fromStdString(baseUrl + recorded.target)));
    for (const auto& [name, value] : recorded.headers) {
        const QByteArray key = QByteArray::fromStdString(name).toLower();
        if (key != "host" && key != "content-length")
            request.setRawHeader(QByteArray::fromStdString(name), QByteArray::fromStdString(value));
    }
    QNetworkReply* reply = recorded.method == "POST"
        ? m_impl->manager.post(request, QByteArray::fromStdString(recorded.rawBody))
        : m_impl->manager.get(request);
    return m_impl->finish(reply, file);
}

} // namespace kivo::bench
