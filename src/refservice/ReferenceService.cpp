// SPDX-License-Identifier: GPL-2.0-or-later
#include "refservice/ReferenceService.h"

#include "refservice/DemoContent.h"
#include "refservice/Outbox.h"

#include <QDir>
#include <QFile>

namespace pondrel::refservice {

namespace {

const QString kCollectionPath = QStringLiteral("/Pondrel/CollectionServices.asmx");
const QString kPublishingPath = QStringLiteral("/Pondrel/PublishingServices.asmx");
const QString kAgeSessionsPath = QStringLiteral("/Pondrel/Admin/AgeSessions");
const QString kFaultsPath = QStringLiteral("/Pondrel/Admin/Faults");
const QString kOutboxPath = QStringLiteral("/Pondrel/Outbox");

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
    for (const QString &folder :
        {m_config.dataDirectory, m_config.renditionsDirectory(), m_config.uploadsDirectory()}) {
        if (!QDir().mkpath(folder)) {
            errorMsg = QStringLiteral("cannot create the data folder %1").arg(folder);
            return false;
        }
    }
    for (const QString &text : m_config.faults) {
        const std::optional<PlannedFault> fault = PlannedFault::parse(text, errorMsg);
        if (!fault)
            return false;
        m_faults.add(*fault);
    }
    if (!m_config.logFile.isEmpty() && !m_log.open(m_config.logFile, errorMsg))
        return false;
    m_database = Database::open(
        QDir(m_config.dataDirectory).filePath(QStringLiteral("refservice.sqlite")), errorMsg);
    if (!m_database)
        return false;

    if (m_config.demo && !DemoContent::ensure(*m_database, m_config, errorMsg))
        return false;
    try {
        dropAbandonedUploads();
    } catch (const StorageError &error) {
        errorMsg = QString::fromUtf8(error.what());
        return false;
    }

    OperationTable collection;
    registerCollectionOperations(collection);
    OperationTable publishing;
    registerAccountOperations(publishing);
    registerAssetOperations(publishing);
    registerSharingOperations(publishing);
    m_collection = std::make_unique<SoapEndpoint>(
        m_config.collectionNamespace(), collection, *m_database, m_config, m_log, m_faults);
    m_publishing = std::make_unique<SoapEndpoint>(
        m_config.publishingNamespace(), publishing, *m_database, m_config, m_log, m_faults);
    m_uploads = std::make_unique<BitsUploadEndpoint>(*m_database, m_config, m_log, m_faults);
    m_pages = std::make_unique<PublicPages>(*m_database, m_config);

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

// Upload sessions nobody closed or cancelled within a day are gone for good.
void ReferenceService::dropAbandonedUploads()
{
    const char *const abandoned = "created < strftime('%Y-%m-%dT%H:%M:%S+00:00', 'now', '-1 day')";
    Statement parts = m_database->prepare(
        (QByteArray("SELECT part_file FROM bits_sessions WHERE ") + abandoned).constData());
    while (parts.step())
        QFile::remove(parts.text(0));
    m_database->execute((QByteArray("DELETE FROM bits_sessions WHERE ") + abandoned).constData());
}

void ReferenceService::stop()
{
    // The server goes first: no request may be running when the storage closes.
    m_server.reset();
    m_pages.reset();
    m_uploads.reset();
    m_publishing.reset();
    m_collection.reset();
    m_database.reset();
}

qint64 ReferenceService::bodyLimit(const QString &path) const
{
    return path.startsWith(BitsUploadEndpoint::kPathPrefix) ? BitsUploadEndpoint::kMaximumUpload
                                                            : SoapEndpoint::kMaximumBody;
}

HttpResponse ReferenceService::route(const HttpRequest &request)
{
    if (request.path.startsWith(BitsUploadEndpoint::kPathPrefix))
        return m_uploads->handle(request);
    if (request.path.startsWith(PublicPages::kRenditionPrefix)) {
        HttpResponse response = m_pages->rendition(request);
        // Logged so that tests and benchmarks can count what a client really downloaded.
        m_log.write(QStringLiteral("%1 %2 %3")
                        .arg(QString::fromLatin1(request.method), request.path)
                        .arg(response.status));
        return response;
    }
    if (request.path.compare(PublicPages::kGalleryPath, Qt::CaseInsensitive) == 0)
        return m_pages->gallery(request);
    if (request.path == kOutboxPath)
        return outbox(request);
    if (request.path == kFaultsPath)
        return adminFaults(request);
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

HttpResponse ReferenceService::outbox(const HttpRequest &request) const
{
    if (!request.fromLoopback)
        return plain(403, "Forbidden");
    const auto lock = m_database->lock();
    return HttpResponse::text(200, "application/json", Outbox::json(*m_database));
}

// GET lists the faults in play; POST replaces them with the body's lines (empty: none).
HttpResponse ReferenceService::adminFaults(const HttpRequest &request)
{
    if (!request.fromLoopback)
        return plain(403, "Forbidden");
    if (request.method == "POST") {
        QList<PlannedFault> faults;
        for (const QString &line :
            QString::fromUtf8(request.body).split(u'\n', Qt::SkipEmptyParts)) {
            if (line.trimmed().isEmpty())
                continue;
            QString errorMsg;
            const std::optional<PlannedFault> fault = PlannedFault::parse(line, errorMsg);
            if (!fault)
                return plain(400, errorMsg.toUtf8());
            faults.append(*fault);
        }
        m_faults.replaceAll(faults);
    } else if (request.method != "GET") {
        return plain(405, "Use GET or POST");
    }
    return plain(200, m_faults.describe().join(u'\n').toUtf8());
}

} // namespace pondrel::refservice
