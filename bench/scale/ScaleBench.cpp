// SPDX-License-Identifier: GPL-2.0-or-later
// Libraries of the size real ones reach: one album of 1,000 to 50,000 pictures listed by the
// reference service, converted by the client and printed by pondrel-tool; and photo records
// added to and looked up in databases of 1,000 to 100,000 records.

#include "bench/common/BenchmarkMain.h"
#include "client/oruNetwork.h"
#include "client/oruNetwork_photoDB.h"
#include "soap/SoapReply.h"
#include "tests/common/ProgramRun.h"
#include "tests/common/RefServiceProcess.h"
#include "tests/common/ScratchHome.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>

#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <sqlite3.h>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <numeric>
#include <optional>
#include <vector>

namespace pondrel {

namespace {

const QString kSession = QStringLiteral("5c4f7a52-bench-session");
const QString kAlbum = QStringLiteral("a1b2c3d4-bench-album");
const QString kPublishingNamespace
    = QStringLiteral("http://services.trevane.com/Pondrel/PublishingServices");

struct SqliteClose
{
    void operator()(sqlite3 *database) const { sqlite3_close(database); }
};
struct CurlCleanup
{
    void operator()(CURL *curl) const { curl_easy_cleanup(curl); }
};

bool execute(sqlite3 *database, const QString &sql)
{
    return sqlite3_exec(database, sql.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

QString dateAfter(const QDateTime &start, int seconds)
{
    return start.addSecs(seconds)
        .toString(Qt::ISODate)
        .replace(QLatin1Char('Z'), QStringLiteral("+00:00"));
}

// An account signed on from one computer, with one album of `count` pictures that each have a
// ready thumbnail and preview, written straight into the running service's database.
std::optional<QString> fillService(const QString &dataDirectory, int count)
{
    sqlite3 *raw = nullptr;
    const int opened = sqlite3_open(
        QDir(dataDirectory).filePath(QStringLiteral("refservice.sqlite")).toUtf8().constData(),
        &raw);
    std::unique_ptr<sqlite3, SqliteClose> database(raw);
    if (opened != SQLITE_OK)
        return QStringLiteral("cannot open the service's database");
    sqlite3_busy_timeout(database.get(), 30'000);
    const QString when = QStringLiteral("2026-03-04T05:06:07+00:00");
    // As in a real album, each picture has dates of its own: taken a few seconds apart, copied
    // from the camera an hour later, uploaded one a second.
    const QDateTime taken(QDate(2024, 7, 14), QTime(15, 0), Qt::UTC);
    const QDateTime copied = taken.addSecs(3600);
    const QDateTime uploaded(QDate(2026, 3, 4), QTime(5, 6, 7), Qt::UTC);
    // A session made now: one older than the service's session lifetime is refused.
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    bool ok = execute(database.get(), QStringLiteral("BEGIN IMMEDIATE"))
        && execute(database.get(),
            QStringLiteral("INSERT INTO accounts (id, email, password_salt, password_hash, "
                           "password_iterations, created) VALUES (1, 'bench@example.com', "
                           "x'00', x'00', 1, '%1')")
                .arg(when))
        && execute(database.get(),
            QStringLiteral("INSERT INTO computers (id, registered) VALUES ('BENCH-PC', '%1')")
                .arg(when))
        && execute(database.get(),
            QStringLiteral("INSERT INTO sessions (id, account_id, computer_id, created, last_used) "
                           "VALUES ('%1', 1, 'BENCH-PC', '%2', %3)")
                .arg(kSession,
                    QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")))
                .arg(now))
        && execute(database.get(),
            QStringLiteral("INSERT INTO assets (id, account_id, parent_id, kind, name, created, "
                           "modified) VALUES ('%1', 1, '', 'folder', 'Big album', '%2', '%2')")
                .arg(kAlbum, when));
    for (int index = 0; ok && index < count; ++index) {
        const QString id
            = QStringLiteral("p%1-0000-4000-8000-000000000000").arg(index, 8, 10, QLatin1Char('0'));
        ok = execute(database.get(),
                 QStringLiteral(
                     "INSERT INTO assets (id, account_id, parent_id, kind, origin_computer, name, "
                     "description, created, modified, media_type, file_created, file_modified, "
                     "file_size, hash, moniker, width, height, date_taken) VALUES ('%1', 1, '%2', "
                     "'picture', 'BENCH-PC', 'IMG_%3.jpg', 'Summer & friends', '%4', '%4', "
                     "'image/jpeg', '%5', '%5', 4812345, '%6', 'M-%1', 4000, 3000, '%7')")
                     .arg(id, kAlbum)
                     .arg(index)
                     .arg(dateAfter(uploaded, index), dateAfter(copied, 7 * index),
                         QStringLiteral("%1").arg(index, 40, 16, QLatin1Char('0')),
                         dateAfter(taken, 7 * index)))
            && execute(database.get(),
                QStringLiteral(
                    "INSERT INTO renditions (id, asset_id, name, width, height, file_size, "
                    "file_name, etag, created) VALUES ('t-%1', '%1', 'Thumbnail', 200, 150, 9000, "
                    "'t-%1.jpg', 'e1', '%2'), ('v-%1', '%1', 'Preview', 1024, 768, 120000, "
                    "'v-%1.jpg', 'e2', '%2')")
                    .arg(id, when));
    }
    if (!ok || !execute(database.get(), QStringLiteral("COMMIT")))
        return QStringLiteral("cannot fill the service's database: %1")
            .arg(QString::fromUtf8(sqlite3_errmsg(database.get())));
    return std::nullopt;
}

QByteArray getAssetsEnvelope()
{
    return QStringLiteral(
        "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\">\n<soap:Body>\n"
        "\t<GetAssets xmlns=\"%1\">\n\t\t<sessionIdentifier>%2</sessionIdentifier>\n"
        "\t\t<parentIdentifier>%3</parentIdentifier>\n"
        "\t\t<commentsFilteringMode>None</commentsFilteringMode>\n"
        "\t\t<includeSymbolicLinks>1</includeSymbolicLinks>\n"
        "\t\t<includeExportLinks>1</includeExportLinks>\n  </GetAssets>\n</soap:Body>\n"
        "</soap:Envelope>\n")
        .arg(kPublishingNamespace, kSession, kAlbum)
        .toUtf8();
}

std::size_t appendReply(char *bytes, std::size_t size, std::size_t count, void *reply)
{
    static_cast<QByteArray *>(reply)->append(bytes, qsizetype(size * count));
    return size * count;
}

// One GetAssets exchange as the client makes it (gzip accepted, decoded on arrival); the
// decoded reply body, or nothing when the exchange failed.
std::optional<QByteArray> postGetAssets(CURL *curl, const QString &baseUrl)
{
    const QByteArray url = (baseUrl + QStringLiteral("/Pondrel/PublishingServices.asmx")).toUtf8();
    const QByteArray envelope = getAssetsEnvelope();
    curl_slist *headers = curl_slist_append(nullptr,
        ("SOAPAction: " + kPublishingNamespace + QStringLiteral("/GetAssets"))
            .toUtf8()
            .constData());
    headers = curl_slist_append(headers, "Content-Type: text/xml; charset=utf-8");
    QByteArray reply;
    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, envelope.constData());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, long(envelope.size()));
    curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "gzip");
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, appendReply);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply);
    const CURLcode result = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    curl_slist_free_all(headers);
    if (result != CURLE_OK || status != 200)
        return std::nullopt;
    return reply;
}

// A running service whose album holds the given number of pictures, made once per size.
class BigAlbum
{
public:
    static BigAlbum &withPictures(int count)
    {
        std::unique_ptr<BigAlbum> &album = all()[count];
        if (!album)
            album.reset(new BigAlbum(count));
        return *album;
    }
    // Stops the services while the application object still exists.
    static void releaseAll() { all().clear(); }

    const std::optional<QString> &problem() const { return m_problem; }
    QString baseUrl() const { return m_service.baseUrl(); }
    qint64 serviceProcessId() const { return m_service.processId(); }
    const QByteArray &replyBody() const { return m_replyBody; }

private:
    explicit BigAlbum(int count)
    {
        if (!m_service.start()) {
            m_problem = m_service.errorMsg();
            return;
        }
        m_problem = fillService(m_service.dataDirectory(), count);
        if (m_problem)
            return;
        std::unique_ptr<CURL, CurlCleanup> curl(curl_easy_init());
        const std::optional<QByteArray> body = postGetAssets(curl.get(), baseUrl());
        if (!body || !body->contains("<GetAssetsResult>"))
            m_problem = QStringLiteral("the service did not list the album");
        else
            m_replyBody = *body;
    }

    static std::map<int, std::unique_ptr<BigAlbum>> &all()
    {
        static std::map<int, std::unique_ptr<BigAlbum>> albums;
        return albums;
    }

    RefServiceProcess m_service;
    std::optional<QString> m_problem;
    QByteArray m_replyBody;
};

// The processor time a process has used so far (user and system), in milliseconds; the
// service's own cost, apart from the waits a busy machine adds to the round trip.
double processorMilliseconds(qint64 processId)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(processId));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray line = stat.readAll();
    // The fields after the command name, which is in parentheses and may hold blanks.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    constexpr int kUserTime = 11;
    constexpr int kSystemTime = 12;
    if (fields.size() <= kSystemTime)
        return 0;
    return double(fields[kUserTime].toLongLong() + fields[kSystemTime].toLongLong()) * 1000.0
        / double(sysconf(_SC_CLK_TCK));
}

double processorMillisecondsOf(int who)
{
    rusage usage {};
    getrusage(who, &usage);
    const auto milliseconds = [](const timeval &time) {
        return double(time.tv_sec) * 1000.0 + double(time.tv_usec) / 1000.0;
    };
    return milliseconds(usage.ru_utime) + milliseconds(usage.ru_stime);
}

// The processor time of the finished child processes (the pondrel-tool runs), in milliseconds.
double childrenProcessorMilliseconds()
{
    return processorMillisecondsOf(RUSAGE_CHILDREN);
}

double ownProcessorMilliseconds()
{
    return processorMillisecondsOf(RUSAGE_SELF);
}

bool convertsListing(char *body, qsizetype size)
{
    const SoapReply::Conversion conversion
        = SoapReply::convertInPlace(body, size, QStringLiteral("GetAssets"));
    return !conversion.problem && conversion.entries.contains(QStringLiteral("GetAssetsResult"));
}

bool skipOnProblem(benchmark::State &state, const BigAlbum &album)
{
    if (!album.problem())
        return false;
    state.SkipWithError(album.problem()->toUtf8().constData());
    return true;
}

void BM_ServiceGetAssets(benchmark::State &state)
{
    const BigAlbum &album = BigAlbum::withPictures(int(state.range(0)));
    if (skipOnProblem(state, album))
        return;
    std::unique_ptr<CURL, CurlCleanup> curl(curl_easy_init());
    const double processorBefore = processorMilliseconds(album.serviceProcessId());
    for (auto _ : state) {
        const std::optional<QByteArray> body = postGetAssets(curl.get(), album.baseUrl());
        if (!body) {
            state.SkipWithError("GetAssets failed");
            break;
        }
    }
    state.counters["reply_MB"] = double(album.replyBody().size()) / 1e6;
    state.counters["service_cpu_ms"]
        = (processorMilliseconds(album.serviceProcessId()) - processorBefore)
        / double(std::max<benchmark::IterationCount>(state.iterations(), 1));
}

// The client converts the buffer its transfer filled, in place; the copy that stands for the
// transfer is made outside the measured time. A conversion includes freeing its result. The
// first one of each size counts apart: it gets all its memory fresh from the kernel.
void BM_ClientReplyConversion(benchmark::State &state)
{
    const BigAlbum &album = BigAlbum::withPictures(int(state.range(0)));
    if (skipOnProblem(state, album))
        return;
    std::vector<double> milliseconds;
    for (auto _ : state) {
        state.PauseTiming();
        QByteArray body = album.replyBody();
        char *bytes = body.data();
        state.ResumeTiming();
        const auto started = std::chrono::steady_clock::now();
        if (!convertsListing(bytes, body.size())) {
            state.SkipWithError("the reply did not convert");
            return;
        }
        milliseconds.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started)
                .count());
    }
    state.counters["first_ms"] = milliseconds.front();
    if (milliseconds.size() > 1)
        state.counters["later_ms"]
            = std::accumulate(milliseconds.begin() + 1, milliseconds.end(), 0.0)
            / double(milliseconds.size() - 1);
}

// The Publisher's listing of an album as oruNetwork hands it over: the exchange, the conversion
// and the records with their kind. `client_cpu_ms` is this process's processor time per listing.
void BM_ClientGetAssets(benchmark::State &state)
{
    const BigAlbum &album = BigAlbum::withPictures(int(state.range(0)));
    if (skipOnProblem(state, album))
        return;
    qputenv("PONDREL_SERVICE_URL", album.baseUrl().toUtf8());
    oruNetwork client;
    client.setSessionIdentifier(kSession);
    const double processorBefore = ownProcessorMilliseconds();
    for (auto _ : state) {
        const std::optional<QVariantList> records = client.getAssets(kAlbum);
        if (!records || records->size() != state.range(0)) {
            state.SkipWithError("the album was not listed");
            break;
        }
    }
    state.counters["client_cpu_ms"] = (ownProcessorMilliseconds() - processorBefore)
        / double(std::max<benchmark::IterationCount>(state.iterations(), 1));
    qunsetenv("PONDREL_SERVICE_URL");
}

// pondrel-tool as a user runs it, its output going to a file: the figure is the tool's own and
// not this process's reading of a pipe of megabytes. Empty when it printed the listing,
// else what went wrong.
std::optional<QString> toolCallProblem(
    const QStringList &arguments, const QProcessEnvironment &environment, const QString &output)
{
    QProcess tool;
    tool.setProcessEnvironment(environment);
    tool.setStandardOutputFile(output);
    tool.start(ProgramRun::builtProgram(QStringLiteral("pondrel-tool")), arguments);
    if (!tool.waitForFinished(60000) || tool.exitStatus() != QProcess::NormalExit
        || tool.exitCode() != 0)
        return QString::fromUtf8(tool.readAllStandardError().left(300));
    QFile printed(output);
    if (!printed.open(QIODevice::ReadOnly) || !printed.read(4096).contains("\"GetAssetsResult\""))
        return QStringLiteral("pondrel-tool did not print the listing");
    return std::nullopt;
}

void BM_ToolCallGetAssets(benchmark::State &state)
{
    const BigAlbum &album = BigAlbum::withPictures(int(state.range(0)));
    if (skipOnProblem(state, album))
        return;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PONDREL_SERVICE_URL"), album.baseUrl());
    const QStringList arguments {QStringLiteral("call"), QStringLiteral("publishing"),
        QStringLiteral("GetAssets"), QStringLiteral("sessionIdentifier=") + kSession,
        QStringLiteral("parentIdentifier=") + kAlbum, QStringLiteral("commentsFilteringMode=None"),
        QStringLiteral("includeSymbolicLinks=true"), QStringLiteral("includeExportLinks=true")};
    const QString output = QDir::home().filePath(QStringLiteral("listing.json"));
    const double processorBefore = childrenProcessorMilliseconds();
    for (auto _ : state) {
        if (const std::optional<QString> problem
            = toolCallProblem(arguments, environment, output)) {
            state.SkipWithError(problem->toUtf8().constData());
            break;
        }
    }
    state.counters["tool_cpu_ms"] = (childrenProcessorMilliseconds() - processorBefore)
        / double(std::max<benchmark::IterationCount>(state.iterations(), 1));
}

// A library of `count` records, grown by additions as the Publisher grows it. False when an
// addition failed.
bool fillLibrary(qint64 count)
{
    for (qint64 index = 0; index < count; ++index) {
        if (!oruNetworkPhotoDB::addPhotoToDB(
                QStringLiteral("/home/ann/Pictures/2008/IMG_%1.jpg").arg(index),
                QStringLiteral("M-%1").arg(index, 8, 10, QLatin1Char('0')),
                QStringLiteral("%1").arg(index, 40, 16, QLatin1Char('0'))))
            return false;
    }
    return true;
}

void BM_AddPhotoToDB(benchmark::State &state)
{
    ScratchHome home;
    if (!fillLibrary(state.range(0))) {
        state.SkipWithError("could not fill the photo database");
        return;
    }
    for (auto _ : state) {
        if (!oruNetworkPhotoDB::addPhotoToDB(QStringLiteral("/home/ann/Pictures/new.jpg"),
                oruNetwork::stringWithUUID(),
                QStringLiteral("da39a3ee5e6b4b0d3255bfef95601890afd80709"))) {
            state.SkipWithError("addPhotoToDB failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_GetPhotoFromDB(benchmark::State &state)
{
    ScratchHome home;
    if (!fillLibrary(state.range(0))) {
        state.SkipWithError("could not fill the photo database");
        return;
    }
    qint64 next = 0;
    for (auto _ : state) {
        const QString moniker
            = QStringLiteral("M-%1").arg((next * 7919) % state.range(0), 8, 10, QLatin1Char('0'));
        if (!oruNetworkPhotoDB::getPhotoFromDB(moniker)) {
            state.SkipWithError("a record went missing");
            break;
        }
        ++next;
    }
    state.SetItemsProcessed(state.iterations());
}

void albumSizes(benchmark::internal::Benchmark *benchmark)
{
    benchmark->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark->Arg(1000)->Arg(10000)->Iterations(3);
}

// One run: a slow listing of 50,000 pictures takes minutes.
void biggestAlbum(benchmark::internal::Benchmark *benchmark)
{
    benchmark->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark->Arg(50000)->Iterations(1);
}

// More conversions than listings: the first of each size gets its memory fresh and is reported
// apart.
void conversionSizes(benchmark::internal::Benchmark *benchmark)
{
    benchmark->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark->Arg(1000)->Arg(10000)->Iterations(6);
}

void librarySizes(benchmark::internal::Benchmark *benchmark)
{
    benchmark->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark->Arg(1000)->Arg(10000)->Arg(100000)->Iterations(100);
}

// Enough additions that the write-ahead log is checkpointed several times on the way (every
// thousand pages or so), so its cost is counted in the mean.
void additionCounts(benchmark::internal::Benchmark *benchmark)
{
    benchmark->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark->Arg(1000)->Arg(10000)->Arg(100000)->Iterations(3000);
}

BENCHMARK(BM_ServiceGetAssets)->Apply(albumSizes);
BENCHMARK(BM_ClientReplyConversion)->Apply(conversionSizes);
BENCHMARK(BM_ClientGetAssets)->Apply(albumSizes);
BENCHMARK(BM_ToolCallGetAssets)->Apply(albumSizes);
BENCHMARK(BM_ServiceGetAssets)->Apply(biggestAlbum);
BENCHMARK(BM_ClientReplyConversion)->Apply(biggestAlbum);
BENCHMARK(BM_ClientGetAssets)->Apply(biggestAlbum);
BENCHMARK(BM_ToolCallGetAssets)->Apply(biggestAlbum);
BENCHMARK(BM_AddPhotoToDB)->Apply(additionCounts);
BENCHMARK(BM_GetPhotoFromDB)->Apply(librarySizes);

} // namespace

} // namespace pondrel

using namespace pondrel;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (!qEnvironmentVariableIsSet("PONDREL_BIN_DIR"))
        qputenv("PONDREL_BIN_DIR", PONDREL_BENCH_BIN_DIR);
    // pondrel-tool and the photo database read and write only a scratch home.
    ScratchHome home;
    curl_global_init(CURL_GLOBAL_DEFAULT);
    const int status = runBenchmarks(argc, argv);
    BigAlbum::releaseAll();
    curl_global_cleanup();
    return status;
}
