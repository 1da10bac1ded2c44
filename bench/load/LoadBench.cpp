// SPDX-License-Identifier: GPL-2.0-or-later
// The reference service under load: well-behaved clients that sign on, list, create pictures
// and upload their renditions as the Agent does, all at once for a while, beside a few hostile
// ones (bodies that trickle in, bodies far over the limits, bogus upload addresses). Prints
// requests per second, latencies, the well-behaved clients' errors and the service's peak
// memory. Loopback only; every client stops at the deadline.
//
//     load_bench [--clients 64] [--seconds 60] [--password-iterations N]

#include "tests/common/RefServiceProcess.h"
#include "tests/refservice/SoapTestClient.h"

#include <QCoreApplication>
#include <QFile>
#include <QUuid>

#include <curl/curl.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

namespace pondrel {

namespace {

using Clock = std::chrono::steady_clock;

struct Settings
{
    int clients = 64;
    int seconds = 60;
    QString passwordIterations; // empty: the service's default
};

// What every well-behaved client adds to at the end of its run.
struct Tally
{
    std::mutex mutex;
    std::vector<double> latenciesMs;
    long errors = 0;
    QStringList firstErrors;

    void add(const std::vector<double> &latencies, long failed, const QStringList &what)
    {
        const std::lock_guard<std::mutex> guard(mutex);
        latenciesMs.insert(latenciesMs.end(), latencies.begin(), latencies.end());
        errors += failed;
        for (const QString &line : what) {
            if (firstErrors.size() < 5)
                firstErrors.append(line);
        }
    }
};

struct HostileCounts
{
    std::atomic<long> slowBodiesCut {0};
    std::atomic<long> oversizedRefused {0};
    std::atomic<long> bogusRefused {0};
};

// A client of its own loopback address (127.0.0.N), as separate machines would be, so the
// per-address connection limit applies to each as it would in the field.
class Client
{
public:
    Client(const QString &baseUrl, int sourceHost)
        : m_baseUrl(baseUrl)
        , m_curl(curl_easy_init(), curl_easy_cleanup)
    {
        m_interface = "host!127.0.0." + QByteArray::number(sourceHost);
        curl_easy_setopt(m_curl.get(), CURLOPT_INTERFACE, m_interface.constData());
    }

    // One timed request; a failure is counted with its reason.
    HttpResult send(const QString &url, const QByteArray &method, const QByteArray &body,
        const QList<QByteArray> &headers, bool expectOk = true)
    {
        const Clock::time_point start = Clock::now();
        HttpResult result = SoapTestClient::request(url, method, body, headers, m_curl.get());
        latencies.push_back(
            std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        if (expectOk && result.status != 200)
            fail(QStringLiteral("%1 %2: %3 %4")
                     .arg(QString::fromLatin1(method), url)
                     .arg(result.status)
                     .arg(result.transportError));
        return result;
    }

    SoapResult soap(const char *service, const QString &operation, const SoapParameters &parameters)
    {
        const QString url = m_baseUrl + "/Pondrel/" + service + ".asmx";
        const SoapResult result = SoapTestClient::parseReply(send(url, "POST",
            SoapTestClient::envelope(
                operation, SoapTestClient::serviceNamespace(service), parameters),
            {"Content-Type: text/xml; charset=utf-8"}, false));
        if (!result.ok())
            fail(operation + ": " + result.fault + result.http.transportError);
        return result;
    }

    void fail(const QString &what)
    {
        ++errors;
        if (errorLines.size() < 3)
            errorLines.append(what);
    }

    std::vector<double> latencies;
    long errors = 0;
    QStringList errorLines;

private:
    QString m_baseUrl;
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> m_curl;
    QByteArray m_interface;
};

struct Account
{
    QString email;
    QString computer;
};

// What the Agent does for one visit: upload each command's rendition, then report them all.
void renderAndReport(Client &client, const Account &account, const SoapResult &visit)
{
    const QList<AgentSide::Command> commands = AgentSide::commandsOf(visit);
    QMap<QString, QList<QByteArray>> statuses;
    for (const AgentSide::Command &command : commands) {
        const QByteArray jpeg
            = AgentSide::fakeJpeg(command.fields.value("width").toInt() > 300 ? 60000 : 8000, 'b');
        const QList<QByteArray> bits {"User-Agent: Microsoft BITS/6.6", "Expect:"};
        const HttpResult created = client.send(command.url(), "BITS_POST", {},
            bits
                + QList<QByteArray> {
                    "BITS-Packet-Type: Create-Session", AgentSide::kProtocolOffer});
        const QByteArray session = "BITS-Session-Id: " + created.header("BITS-Session-Id");
        client.send(command.url(), "BITS_POST", jpeg,
            bits
                + QList<QByteArray> {"BITS-Packet-Type: Fragment", session,
                    "Content-Range: bytes 0-" + QByteArray::number(jpeg.size() - 1) + '/'
                        + QByteArray::number(jpeg.size())});
        client.send(command.url(), "BITS_POST", {},
            bits + QList<QByteArray> {"BITS-Packet-Type: Close-Session", session});
        statuses[command.batch].append(
            AgentSide::succeeded(command.id(), command.fields.value("width").toInt(),
                command.fields.value("height").toInt(), jpeg.size()));
    }
    QByteArray report;
    for (auto batch = statuses.cbegin(); batch != statuses.cend(); ++batch)
        report += AgentSide::batchStatus(batch.key(), batch.value());
    client.soap("CollectionServices", "Visit",
        {{"serviceKey", SoapTestClient::kServiceKey}, {"computerIdentifier", account.computer},
            {"@accountIdentifiersHashes", ""},
            {"@previousCommandBatchesStatuses", QString::fromUtf8(report)}});
}

void wellBehaved(const QString &baseUrl, const Account &account, int index,
    Clock::time_point deadline, Tally &tally)
{
    Client client(baseUrl, 1 + index % 8);
    const QString session
        = client
              .soap("PublishingServices", "SignOn",
                  {{"serviceKey", SoapTestClient::kServiceKey},
                      {"computerIdentifier", account.computer},
                      {"accountIdentifier", account.email}, {"password", "load-password"}})
              .result();
    const QString album = client
                              .soap("PublishingServices", "CreateFolderAsset",
                                  {{"sessionIdentifier", session}, {"parentIdentifier", ""},
                                      {"folderName", "Load"}})
                              .result();
    for (int round = 0; Clock::now() < deadline; ++round) {
        client.soap("PublishingServices", "GetAssets",
            {{"sessionIdentifier", session}, {"parentIdentifier", album},
                {"commentsFilteringMode", "IncludeComments"}, {"includeSymbolicLinks", "1"},
                {"includeExportLinks", "1"}});
        client.soap("PublishingServices", "CreatePictureFileAsset",
            SoapTestClient::pictureParameters(
                session, album, QStringLiteral("p%1.jpg").arg(round)));
        const SoapResult visit = client.soap("CollectionServices", "Visit",
            {{"serviceKey", SoapTestClient::kServiceKey}, {"computerIdentifier", account.computer},
                {"@accountIdentifiersHashes", ""}, {"@previousCommandBatchesStatuses", ""}});
        renderAndReport(client, account, visit);
    }
    tally.add(client.latencies, client.errors, client.errorLines);
}

int rawConnection(quint16 port, int sourceHost)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in source {};
    source.sin_family = AF_INET;
    source.sin_addr.s_addr = htonl(0x7F000000 | quint32(sourceHost));
    bind(fd, reinterpret_cast<sockaddr *>(&source), sizeof source);
    sockaddr_in target {};
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    target.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&target), sizeof target) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

bool sendAll(int fd, const QByteArray &bytes)
{
    return send(fd, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL) == bytes.size();
}

// Announces a SOAP body and sends it one byte a second, until the service cuts it off.
void slowBody(quint16 port, Clock::time_point deadline, HostileCounts &counts)
{
    while (Clock::now() < deadline) {
        const int fd = rawConnection(port, 66);
        if (fd < 0) {
            std::this_thread::sleep_for(std::chrono::seconds(1));
            continue;
        }
        sendAll(fd,
            "POST /Pondrel/PublishingServices.asmx HTTP/1.1\r\nHost: 127.0.0.1\r\n"
            "Content-Length: 100000\r\n\r\n");
        while (Clock::now() < deadline && sendAll(fd, "<"))
            std::this_thread::sleep_for(std::chrono::seconds(1));
        if (Clock::now() < deadline) {
            ++counts.slowBodiesCut;
            std::this_thread::sleep_for(std::chrono::seconds(1));
        }
        close(fd);
    }
}

// Bodies far over the limits: a gigabyte upload, a 100 MB SOAP call. The service answers
// from the headers and closes; the client pushes a few megabytes regardless.
void oversized(quint16 port, Clock::time_point deadline, HostileCounts &counts)
{
    const QByteArray junk(1024 * 1024, 'j');
    for (int round = 0; Clock::now() < deadline; ++round) {
        const int fd = rawConnection(port, 67);
        if (fd < 0)
            continue;
        const QByteArray request = round % 2
            ? QByteArray("POST /Pondrel/PublishingServices.asmx HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                         "Content-Length: 100000000\r\n\r\n")
            : QByteArray("BITS_POST /Pondrel/Upload/nothing HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                         "BITS-Packet-Type: Fragment\r\nContent-Length: 1073741824\r\n\r\n");
        sendAll(fd, request);
        for (int i = 0; i < 4 && sendAll(fd, junk); ++i) { }
        char reply[16] = {};
        if (recv(fd, reply, sizeof reply - 1, 0) > 0 && QByteArray(reply).startsWith("HTTP/1.1 4"))
            ++counts.oversizedRefused;
        else if (QByteArray(reply).startsWith("HTTP/1.1 500"))
            ++counts.oversizedRefused;
        close(fd);
    }
}

// Uploads to addresses that do not exist.
void bogusTokens(const QString &baseUrl, Clock::time_point deadline, HostileCounts &counts)
{
    Client client(baseUrl, 68);
    while (Clock::now() < deadline) {
        const QString url
            = baseUrl + "/Pondrel/Upload/" + QUuid::createUuid().toString(QUuid::Id128);
        const HttpResult reply = client.send(url, "BITS_POST", QByteArray(4096, 'x'),
            {"BITS-Packet-Type: Fragment", "BITS-Session-Id: {0}",
                "Content-Range: bytes 0-4095/4096", "Expect:"},
            false);
        if (reply.status == 404 || reply.status == 400)
            ++counts.bogusRefused;
    }
}

long peakMemoryKiB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

std::optional<Settings> parseArguments(const QStringList &arguments)
{
    Settings settings;
    for (qsizetype i = 1; i + 1 < arguments.size(); i += 2) {
        if (arguments[i] == QLatin1String("--clients"))
            settings.clients = std::clamp(arguments[i + 1].toInt(), 1, 512);
        else if (arguments[i] == QLatin1String("--seconds"))
            settings.seconds = std::clamp(arguments[i + 1].toInt(), 1, 3600);
        else if (arguments[i] == QLatin1String("--password-iterations"))
            settings.passwordIterations = arguments[i + 1];
        else
            return std::nullopt;
    }
    if (arguments.size() % 2 == 0)
        return std::nullopt;
    return settings;
}

// Accounts and computers exist before the clock starts; signing on is part of the load.
QList<Account> createAccounts(const QString &baseUrl, int count)
{
    QList<Account> accounts;
    std::mutex mutex;
    std::vector<std::thread> workers;
    for (int worker = 0; worker < 8; ++worker) {
        workers.emplace_back([&, worker] {
            const SoapTestClient soap(baseUrl);
            for (int index = worker; index < count; index += 8) {
                const Account account {QStringLiteral("load%1@example.org").arg(index),
                    QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper()};
                soap.createAccount(account.email, "load-password");
                soap.registerComputer(account.computer);
                const std::lock_guard<std::mutex> guard(mutex);
                accounts.append(account);
            }
        });
    }
    for (std::thread &worker : workers)
        worker.join();
    return accounts;
}

} // namespace

} // namespace pondrel

int main(int argc, char **argv)
{
    using namespace pondrel;
    QCoreApplication application(argc, argv);
    const std::optional<Settings> settings = parseArguments(QCoreApplication::arguments());
    if (!settings) {
        std::fprintf(
            stderr, "usage: load_bench [--clients N] [--seconds N] [--password-iterations N]\n");
        return 2;
    }
    qputenv("PONDREL_BIN_DIR", PONDREL_BENCH_BIN_DIR);
    curl_global_init(CURL_GLOBAL_DEFAULT);
    QStringList arguments;
    if (!settings->passwordIterations.isEmpty())
        arguments << "--password-iterations" << settings->passwordIterations;
    RefServiceProcess service(arguments, {.admin = false, .quickPasswords = false});
    if (!service.start()) {
        std::fprintf(stderr, "load_bench: %s\n", qPrintable(service.errorMsg()));
        return 1;
    }
    const QList<Account> accounts = createAccounts(service.baseUrl(), settings->clients);
    std::printf("service %s, %d well-behaved clients, %d s\n", qPrintable(service.baseUrl()),
        settings->clients, settings->seconds);

    Tally tally;
    HostileCounts hostile;
    const Clock::time_point start = Clock::now();
    const Clock::time_point deadline = start + std::chrono::seconds(settings->seconds);
    std::vector<std::thread> threads;
    for (int index = 0; index < accounts.size(); ++index)
        threads.emplace_back(
            wellBehaved, service.baseUrl(), accounts[index], index, deadline, std::ref(tally));
    for (int index = 0; index < 40; ++index)
        threads.emplace_back(slowBody, service.port(), deadline, std::ref(hostile));
    for (int index = 0; index < 2; ++index)
        threads.emplace_back(oversized, service.port(), deadline, std::ref(hostile));
    threads.emplace_back(bogusTokens, service.baseUrl(), deadline, std::ref(hostile));
    for (std::thread &thread : threads)
        thread.join();
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();

    std::vector<double> &latencies = tally.latenciesMs;
    std::sort(latencies.begin(), latencies.end());
    const auto percentile = [&](double p) {
        return latencies.empty() ? 0.0 : latencies[size_t(p * double(latencies.size() - 1))];
    };
    const long peakKiB = peakMemoryKiB(service.processId());
    std::printf("well-behaved requests: %zu in %.1f s = %.0f/s\n", latencies.size(), elapsed,
        double(latencies.size()) / elapsed);
    std::printf("latency: median %.1f ms, p99 %.1f ms, max %.1f ms\n", percentile(0.5),
        percentile(0.99), latencies.empty() ? 0.0 : latencies.back());
    std::printf("errors among well-behaved clients: %ld (goal: none)\n", tally.errors);
    for (const QString &line : tally.firstErrors)
        std::printf("  %s\n", qPrintable(line));
    std::printf("hostile: %ld trickling connections refused or cut off, %ld oversized bodies "
                "refused, %ld bogus uploads refused\n",
        hostile.slowBodiesCut.load(), hostile.oversizedRefused.load(), hostile.bogusRefused.load());
    std::printf("service peak memory: %.1f MB (goal: under 300 MB)\n", double(peakKiB) / 1024.0);
    curl_global_cleanup();
    return tally.errors == 0 && peakKiB >= 0 && peakKiB < 300 * 1024 ? 0 : 1;
}
