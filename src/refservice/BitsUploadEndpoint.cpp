// SPDX-License-Identifier: GPL-2.0-or-later
#include "refservice/BitsUploadEndpoint.h"

#include "refservice/FaultInjector.h"
#include "refservice/RequestLog.h"
#include "refservice/ServiceDates.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QUuid>

#include <optional>

namespace pondrel::refservice {

namespace {

const QByteArray kUploadProtocol = "{7df0354d-249b-430f-820d-3d2a9bef4931}";

// HRESULTs in BITS-Error-Code.
constexpr quint32 kInvalidArgument = 0x80070057; // E_INVALIDARG
constexpr quint32 kNotFound = 0x80070002; // the upload address is unknown
constexpr quint32 kAlreadyUsed = 0x800700B7; // the upload address was used
constexpr quint32 kUnknownSession = 0x80070006; // no such BITS session
constexpr quint32 kTooLarge = 0x800700DF; // over the upload limit
constexpr quint32 kStorageFailure = 0x8007001D; // the server could not write
constexpr quint32 kNotSupported = 0x80070032; // protocol or packet not supported

HttpResponse ack()
{
    HttpResponse response = HttpResponse::text(200, "text/plain", QByteArray());
    response.setHeader("BITS-Packet-Type", "Ack");
    return response;
}

HttpResponse error(int status, quint32 code)
{
    HttpResponse response = HttpResponse::text(status, "text/plain", QByteArray());
    response.setHeader("BITS-Packet-Type", "Ack");
    response.setHeader("BITS-Error-Code", "0x" + QByteArray::number(code, 16));
    response.setHeader("BITS-Error-Context", "0x5");
    return response;
}

struct Range
{
    qint64 first = 0;
    qint64 last = 0;
    qint64 total = 0;
};

std::optional<Range> parseRange(const QByteArray &header)
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*bytes\\s+(\\d+)-(\\d+)/(\\d+)\\s*$"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = pattern.match(QString::fromLatin1(header));
    if (!match.hasMatch())
        return std::nullopt;
    Range range {match.captured(1).toLongLong(), match.captured(2).toLongLong(),
        match.captured(3).toLongLong()};
    if (range.last < range.first || range.last >= range.total)
        return std::nullopt;
    return range;
}

struct UploadSession
{
    QString id;
    qint64 received = 0;
    qint64 total = -1;
    QString partFile;
};

std::optional<UploadSession> findSession(
    Database &database, const QString &token, const HttpRequest &request)
{
    const QString id = QString::fromLatin1(request.header("BITS-Session-Id")).trimmed();
    Statement query = database.prepare("SELECT id, received, total, part_file FROM bits_sessions "
                                       "WHERE id = ?1 AND upload_token = ?2");
    query.bind(1, id).bind(2, token);
    if (id.isEmpty() || !query.step())
        return std::nullopt;
    return UploadSession {query.text(0), query.integer(1), query.integer(2), query.text(3)};
}

enum class AddressState { Unknown, Used, Open };

AddressState addressState(Database &database, const QString &token)
{
    Statement query
        = database.prepare("SELECT state, upload_file FROM commands WHERE upload_token = ?1");
    query.bind(1, token);
    if (!query.step())
        return AddressState::Unknown;
    return query.text(0) == QLatin1String("issued") && query.text(1).isEmpty() ? AddressState::Open
                                                                               : AddressState::Used;
}

HttpResponse addressError(AddressState state)
{
    return state == AddressState::Unknown ? error(404, kNotFound) : error(410, kAlreadyUsed);
}

} // namespace

BitsUploadEndpoint::BitsUploadEndpoint(
    Database &database, const ServiceConfig &config, RequestLog &log, FaultInjector &faults)
    : m_database(database)
    , m_config(config)
    , m_log(log)
    , m_faults(faults)
{ }

HttpResponse BitsUploadEndpoint::handle(const HttpRequest &request) const
{
    if (request.method != "BITS_POST")
        return HttpResponse::text(405, "text/plain", "Uploads take BITS_POST\n");
    const QString token = request.path.mid(kPathPrefix.size());
    const QByteArray packet = request.header("BITS-Packet-Type").trimmed();
    const QString packetName = QString::fromLatin1(packet);
    m_log.write(QStringLiteral("BITS_POST %1 %2").arg(request.path, packetName));

    bool withoutSessionId = false;
    if (const std::optional<PlannedFault> fault
        = m_faults.take({packetName, QStringLiteral("Upload")})) {
        m_log.write(QStringLiteral("playing fault %1").arg(fault->toString()));
        withoutSessionId = fault->kind == QLatin1String("bits-no-session");
        if (const std::optional<HttpResponse> played = FaultInjector::play(*fault))
            return *played;
    }
    try {
        if (packet.compare("Ping", Qt::CaseInsensitive) == 0)
            return ack();
        if (packet.compare("Create-Session", Qt::CaseInsensitive) == 0)
            return createSession(token, request, withoutSessionId);
        if (packet.compare("Fragment", Qt::CaseInsensitive) == 0)
            return fragment(token, request);
        if (packet.compare("Close-Session", Qt::CaseInsensitive) == 0)
            return closeSession(token, request);
        if (packet.compare("Cancel-Session", Qt::CaseInsensitive) == 0)
            return cancelSession(token, request);
    } catch (const StorageError &failure) {
        m_log.write(QStringLiteral("storage error: %1").arg(QString::fromUtf8(failure.what())));
        return error(500, kStorageFailure);
    }
    return error(400, kNotSupported);
}

HttpResponse BitsUploadEndpoint::createSession(
    const QString &token, const HttpRequest &request, bool withoutId) const
{
    if (!request.header("BITS-Supported-Protocols").toLower().contains(kUploadProtocol))
        return error(400, kNotSupported);
    const auto lock = m_database.lock();
    const AddressState state = addressState(m_database, token);
    if (state != AddressState::Open)
        return addressError(state);
    if (withoutId)
        return ack();
    const QString id = QUuid::createUuid().toString(QUuid::WithBraces).toUpper();
    const QString partFile = QDir(m_config.uploadsDirectory())
                                 .filePath(QUuid::createUuid().toString(QUuid::Id128) + ".part");
    QFile part(partFile);
    if (!part.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return error(500, kStorageFailure);
    m_database
        .prepare("INSERT INTO bits_sessions (id, upload_token, part_file, created) "
                 "VALUES (?1, ?2, ?3, ?4)")
        .bind(1, id)
        .bind(2, token)
        .bind(3, partFile)
        .bind(4, ServiceDates::now())
        .run();
    HttpResponse response = ack();
    response.setHeader("BITS-Protocol", kUploadProtocol);
    response.setHeader("BITS-Session-Id", id.toLatin1());
    response.setHeader("Accept-Encoding", "Identity");
    return response;
}

HttpResponse BitsUploadEndpoint::fragment(const QString &token, const HttpRequest &request) const
{
    const auto lock = m_database.lock();
    const std::optional<UploadSession> session = findSession(m_database, token, request);
    if (!session)
        return error(400, kUnknownSession);
    if (request.bodyTooLarge)
        return error(413, kTooLarge);
    const std::optional<Range> range = parseRange(request.header("Content-Range"));
    if (!range || range->last - range->first + 1 != request.body.size())
        return error(400, kInvalidArgument);
    if (range->total > kMaximumUpload)
        return error(413, kTooLarge);
    if (session->total >= 0 && range->total != session->total)
        return error(400, kInvalidArgument);

    auto received = [](qint64 bytes) {
        HttpResponse response = ack();
        response.setHeader("BITS-Received-Content-Range", QByteArray::number(bytes));
        return response;
    };
    if (range->first > session->received) {
        HttpResponse response = error(416, kInvalidArgument);
        response.setHeader("BITS-Received-Content-Range", QByteArray::number(session->received));
        return response;
    }
    if (range->last < session->received)
        return received(session->received); // a repeat of what is already here

    // Only the part beyond what was received is new.
    const qint64 skip = session->received - range->first;
    QFile part(session->partFile);
    if (!part.open(QIODevice::WriteOnly | QIODevice::Append)
        || part.write(request.body.constData() + skip, request.body.size() - skip)
            != request.body.size() - skip
        || !part.flush())
        return error(500, kStorageFailure);
    const qint64 now = range->last + 1;
    m_database.prepare("UPDATE bits_sessions SET received = ?1, total = ?2 WHERE id = ?3")
        .bind(1, now)
        .bind(2, range->total)
        .bind(3, session->id)
        .run();
    return received(now);
}

HttpResponse BitsUploadEndpoint::closeSession(
    const QString &token, const HttpRequest &request) const
{
    const auto lock = m_database.lock();
    const std::optional<UploadSession> session = findSession(m_database, token, request);
    if (!session)
        return error(400, kUnknownSession);
    if (session->total <= 0 || session->received != session->total)
        return error(400, kInvalidArgument);
    const AddressState state = addressState(m_database, token);
    if (state != AddressState::Open)
        return addressError(state);
    QFile part(session->partFile);
    if (!part.open(QIODevice::ReadOnly))
        return error(500, kStorageFailure);
    const QByteArray bytes = part.readAll();
    part.close();
    if (!bytes.startsWith("\xFF\xD8\xFF"))
        return error(400, kInvalidArgument); // not a JPEG; the client may cancel
    const QString fileName = QUuid::createUuid().toString(QUuid::Id128) + QStringLiteral(".jpg");
    const QString target = QDir(m_config.renditionsDirectory()).filePath(fileName);
    if (!QFile::rename(session->partFile, target))
        return error(500, kStorageFailure);
    try {
        Transaction transaction(m_database);
        m_database
            .prepare("UPDATE commands SET upload_file = ?1, upload_size = ?2, upload_etag = ?3 "
                     "WHERE upload_token = ?4")
            .bind(1, fileName)
            .bind(2, qint64(bytes.size()))
            .bind(3,
                QString::fromLatin1(
                    QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex()))
            .bind(4, token)
            .run();
        m_database.prepare("DELETE FROM bits_sessions WHERE id = ?1").bind(1, session->id).run();
        transaction.commit();
    } catch (const StorageError &) {
        QFile::remove(target);
        throw;
    }
    return ack();
}

HttpResponse BitsUploadEndpoint::cancelSession(
    const QString &token, const HttpRequest &request) const
{
    const auto lock = m_database.lock();
    const std::optional<UploadSession> session = findSession(m_database, token, request);
    if (!session)
        return error(400, kUnknownSession);
    m_database.prepare("DELETE FROM bits_sessions WHERE id = ?1").bind(1, session->id).run();
    QFile::remove(session->partFile);
    return ack();
}

} // namespace pondrel::refservice
