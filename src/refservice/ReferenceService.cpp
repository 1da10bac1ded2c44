// SPDX-License-Identifier: GPL-2.0-or-later
#include "refservice/ReferenceService.h"

#include "refservice/DemoContent.h"
#include "refservice/Outbox.h"
#include "refservice/PasswordHasher.h"
#include "refservice/Renditions.h"

#include <QDir>
#include <QFile>

namespace pondrel::refservice {

namespace {

const QString kCollectionPath = QStringLiteral("/Pondrel/CollectionServices.asmx");
const QString kPublishingPath = QStringLiteral("/Pondrel/PublishingServices.asmx");
const QString kAgeSessionsPath = QStringLiteral("/Pondrel/Admin/AgeSessions");
const QString kFaultsPath = QStringLiteral("/Pondrel/Admin/Faults");
const QString kOutboxPath = QStringLiteral("/Pondrel/Outbox");

constexpr QFile::Permissions kOwnerOnlyFolder
    = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
constexpr QFile::Permissions kOwnerOnlyFile = QFile::ReadOwner | QFile::WriteOwner;

// What the gallery, the rendition files and the administration paths accept as a body.
constexpr qint64 kSmallBody = 64 * 1024;

HttpResponse plain(int status, const QByteArray &text)
{
    return HttpResponse::text(status, QByteArrayLiteral("text/plain; charset=utf-8"), text + '\n');
}

bool isAdministrationPath(const QString &path)
{
    return path == kOutboxPath || path == kFaultsPath || path == kAgeSessionsPath;
}

bool isSoapPath(const QString &path)
{
    return path.compare(kCollectionPath, Qt::CaseInsensitive) == 0
        || path.compare(kPublishingPath, Qt::CaseInsensitive) == 0;
}

HttpAdmission smallBody(const HttpRequest &request)
{
    if (request.declaredLength() > kSmallBody)
        return HttpAdmission {plain(413, "Request body too large")};
    return HttpAdmission {std::nullopt, kSmallBody};
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
    // The folder holds password hashes, session identifiers and upload addresses: the user's
    // own, like the database and the request log inside it.
    for (const QString &folder : {m_config.dataDirectory, m_config.renditionsDirectory(),
             m_config.uploadsDirectory(), m_config.spoolDirectory()}) {
        if (!QDir().mkpath(folder) || !QFile::setPermissions(folder, kOwnerOnlyFolder)) {
            errorMsg = QStringLiteral("cannot create the data folder %1").arg(folder);
            return false;
        }
    }
    // Bodies of requests a killed process never finished.
    for (const QString &leftOver : QDir(m_config.spoolDirectory()).entryList(QDir::Files))
        QFile::remove(QDir(m_config.spoolDirectory()).filePath(leftOver));
    for (const QString &text : m_config.faults) {
        const std::optional<PlannedFault> fault = PlannedFault::parse(text, errorMsg);
        if (!fault)
            return false;
        m_faults.add(*fault);
    }
    if (!m_config.logFile.isEmpty()
        && (!m_log.open(m_config.logFile, errorMsg)
            || !QFile::setPermissions(m_config.logFile, kOwnerOnlyFile))) {
        errorMsg = QStringLiteral("cannot open the request log %1").arg(m_config.logFile);
        return false;
    }
    const QString databasePath
        = QDir(m_config.dataDirectory).filePath(QStringLiteral("refservice.sqlite"));
    m_database = Database::open(databasePath, errorMsg);
    if (!m_database)
        return false;
    // SQLite gives its -wal and -shm files the database file's mode.
    for (const QString &suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")}) {
        if (QFile::exists(databasePath + suffix))
            QFile::setPermissions(databasePath + suffix, kOwnerOnlyFile);
    }

    if (m_config.demo && !DemoContent::ensure(*m_database, m_config, errorMsg))
        return false;
    try {
        tidy();
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
    m_collection = std::make_unique<SoapEndpoint>(m_config.collectionNamespace(), collection,
        *m_database, m_config, m_log, m_faults, m_attempts);
    m_publishing = std::make_unique<SoapEndpoint>(m_config.publishingNamespace(), publishing,
        *m_database, m_config, m_log, m_faults, m_attempts);
    m_uploads = std::make_unique<BitsUploadEndpoint>(*m_database, m_config, m_log, m_faults);
    m_pages = std::make_unique<PublicPages>(*m_database, m_config, m_attempts);

    if (m_config.admin)
        m_adminToken = QString::fromLatin1(PasswordHasher::randomBytes(16).toHex());
    m_server = std::make_unique<HttpServer>(
        [this](const HttpRequest &request) { return route(request); },
        [this](const HttpRequest &request) { return admit(request); },
        HttpServer::Limits {
            m_config.maxConnections, m_config.maxConnectionsPerAddress, m_config.spoolDirectory()});
    if (!m_server->listen(m_config.listenHost, m_config.listenPort, errorMsg))
        return false;
    if (m_config.publicUrl.isEmpty()) {
        const QString host = m_config.listenHost.contains(u':')
            ? QStringLiteral("[%1]").arg(m_config.listenHost)
            : m_config.listenHost;
        m_config.publicUrl = QStringLiteral("http://%1:%2").arg(host).arg(port());
    }
    if (!m_server->start(errorMsg))
        return false;
    m_log.write(QStringLiteral("listening on port %1").arg(port()));
    return true;
}

void ReferenceService::tidy()
{
    QStringList partFiles;
    {
        const auto lock = m_database->lock();
        partFiles = BitsUploadEndpoint::dropAbandoned(*m_database);
        OperationContext::dropExpiredSessions(*m_database);
    }
    for (const QString &file : partFiles)
        QFile::remove(file);
    m_attempts.forgetOld();
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

// Everything that can be decided from the headers is, before a body is read: unknown paths,
// forbidden administration, oversized bodies, uploads to addresses that are not open.
HttpAdmission ReferenceService::admit(const HttpRequest &request)
{
    try {
        if (request.path.startsWith(BitsUploadEndpoint::kPathPrefix))
            return m_uploads->admit(request);
        if (isSoapPath(request.path))
            return SoapEndpoint::admit(request);
        if (isAdministrationPath(request.path)) {
            if (std::optional<HttpResponse> refusal = refuseAdministration(request))
                return HttpAdmission {refusal};
            return smallBody(request);
        }
        if (request.path.startsWith(Renditions::kPathPrefix)
            || request.path.compare(PublicPages::kGalleryPath, Qt::CaseInsensitive) == 0)
            return smallBody(request);
        return HttpAdmission {plain(404, "Not found")};
    } catch (const std::exception &error) {
        m_log.write(QStringLiteral("internal error: %1").arg(QString::fromUtf8(error.what())));
        return HttpAdmission {plain(500, "Internal error")};
    }
}

// The one barrier every handler runs behind: whatever fails in one request is logged and
// answered with a 500, and the service goes on serving the others.
HttpResponse ReferenceService::route(const HttpRequest &request)
{
    try {
        return dispatch(request);
    } catch (const std::exception &error) {
        m_log.write(QStringLiteral("%1 %2 internal error: %3")
                        .arg(QString::fromLatin1(request.method), request.path,
                            QString::fromUtf8(error.what())));
        return plain(500, "Internal error");
    }
}

QByteArray ReferenceService::listeningAuthority() const
{
    const QString host = m_config.listenHost.contains(u':')
        ? QStringLiteral("[%1]").arg(m_config.listenHost)
        : m_config.listenHost;
    return QStringLiteral("%1:%2").arg(host).arg(port()).toUtf8();
}

// Administration exists only with --admin, and then only for a caller on this machine that
// knows the token and names the listening address as Host: a web page in the user's browser
// (which cannot set the header) or a reverse proxy on the same host (which forwards another
// Host) is turned away.
std::optional<HttpResponse> ReferenceService::refuseAdministration(const HttpRequest &request) const
{
    if (!m_config.admin)
        return plain(404, "Not found");
    const bool hostMatches
        = request.header("Host").trimmed().compare(listeningAuthority(), Qt::CaseInsensitive) == 0;
    if (!request.fromLoopback || !hostMatches
        || !PasswordHasher::sameSecret(
            request.header("X-Pondrel-Admin-Token").trimmed(), m_adminToken.toLatin1()))
        return plain(403, "Forbidden");
    return std::nullopt;
}

HttpResponse ReferenceService::dispatch(const HttpRequest &request)
{
    if (request.path.startsWith(BitsUploadEndpoint::kPathPrefix))
        return m_uploads->handle(request);
    if (request.path.startsWith(Renditions::kPathPrefix)) {
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
// waiting a day.
HttpResponse ReferenceService::ageSessions(const HttpRequest &request) const
{
    if (request.method != "POST")
        return plain(405, "Use POST");
    bool ok = false;
    const qint64 seconds = request.body.trimmed().toLongLong(&ok);
    if (!ok || seconds < 0)
        return plain(400, "The body must be a number of seconds");
    const auto lock = m_database->lock();
    try {
        m_database
            ->prepare("UPDATE sessions SET last_used = last_used - ?1, created = "
                      "strftime('%Y-%m-%dT%H:%M:%S+00:00', created, '-' || ?1 || ' seconds')")
            .bind(1, seconds)
            .run();
    } catch (const StorageError &error) {
        return plain(500, error.what());
    }
    return plain(200, QByteArray::number(m_database->changes()));
}

HttpResponse ReferenceService::outbox(const HttpRequest &) const
{
    const auto lock = m_database->lock();
    return HttpResponse::text(200, "application/json", Outbox::json(*m_database));
}

// GET lists the faults in play; POST replaces them with the body's lines (empty: none).
HttpResponse ReferenceService::adminFaults(const HttpRequest &request)
{
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
