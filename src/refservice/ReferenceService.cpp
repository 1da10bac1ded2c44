#include "refservice/ReferenceService.h"

#include <QDir>

namespace {

const QString kCollectionPath = QStringLiteral("/Pondrel/CollectionServices.asmx");
const QString kPublishingPath = QStringLiteral("/Pondrel/PublishingServices.asmx");
const QString kAgeSessionsPath = QStringLiteral("/Pondrel/Admin/AgeSessions");

HttpResponse plain(int status, const QByteArray &text)
{
    return HttpResponse::text(status, QByteArrayLiteral("text/plain; charset=utf-8"), text + '\n');
}

} // namespace

ReferenceService::ReferenceService(ServiceConfig config)
    : m_config(std::move(config))
{ }

ReferenceService::~ReferenceService()
{
    stop();
}

bool ReferenceService::start(QString &errorMsg)
{
    if (!QDir().mkpath(m_config.dataDirectory)) {
        errorMsg = QStringLiteral("cannot create the data folder %1").arg(m_config.dataDirectory);
        return false;
    }
    if (!m_config.logFile.isEmpty() && !m_log.open(m_config.logFile, errorMsg))
        return false;
    m_database = Database::open(
        QDir(m_config.dataDirectory).filePath(QStringLiteral("refservice.sqlite")), errorMsg);
    if (!m_database)
        return false;

    OperationTable collection;
    registerCollectionOperations(collection);
    OperationTable publishing;
    registerAccountOperations(publishing);
    registerAssetOperations(publishing);
    m_collection = std::make_unique<SoapEndpoint>(
        m_config.collectionNamespace(), collection, *m_database, m_config, m_log);
    m_publishing = std::make_unique<SoapEndpoint>(
        m_config.publishingNamespace(), publishing, *m_database, m_config, m_log);

    m_server = std::make_unique<HttpServer>(
        [this](const HttpRequest &request) { return route(request); },
        [this](const QString &path) { return bodyLimit(path); });
    if (!m_server->listen(m_config.listenHost, m_config.listenPort, errorMsg))
        return false;
    if (m_config.publicUrl.isEmpty()) {
        const QString host = m_config.listenHost.contains(u':')
            ? QStringLiteral("[%1]").arg(m_config.listenHost)
            : m_config.listenHost;
        m_config.publicUrl = QStringLiteral("http://%1:%2").arg(host).arg(port());
    }
    if (!m_server->start(m_config.threads, errorMsg))
        return false;
    m_log.write(QStringLiteral("listening on port %1").arg(port()));
    return true;
}

void ReferenceService::stop()
{
    // The server goes first: no request may be running when the storage closes.
    m_server.reset();
    m_publishing.reset();
    m_collection.reset();
    m_database.reset();
}

qint64 ReferenceService::bodyLimit(const QString &) const
{
    return SoapEndpoint::kMaximumBody;
}

HttpResponse ReferenceService::route(const HttpRequest &request) const
{
    if (request.path.compare(kCollectionPath, Qt::CaseInsensitive) == 0)
        return m_collection->handle(request);
    if (request.path.compare(kPublishingPath, Qt::CaseInsensitive) == 0)
        return m_publishing->handle(request);
    if (request.path == kAgeSessionsPath)
        return ageSessions(request);
    return plain(404, "Not found");
}

// Test support: makes every session look `seconds` older, so expiry can be tested without
// waiting a day. Only from the machine itself.
HttpResponse ReferenceService::ageSessions(const HttpRequest &request) const
{
    if (!request.fromLoopback)
        return plain(403, "Forbidden");
    if (request.method != "POST")
        return plain(405, "Use POST");
    bool ok = false;
    const qint64 seconds = request.body.trimmed().toLongLong(&ok);
    if (!ok || seconds < 0)
        return plain(400, "The body must be a number of seconds");
    const auto lock = m_database->lock();
    try {
        m_database->prepare("UPDATE sessions SET last_used = last_used - ?1")
            .bind(1, seconds)
            .run();
    } catch (const StorageError &error) {
        return plain(500, error.what());
    }
    return plain(200, QByteArray::number(m_database->changes()));
}
