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

// What packets other than fragments may carry.
constexpr qint64 kControlBody = 64 * 1024;

struct Range
{
    qint64 first = 0;
    qint64 last = 0;
    qint64 total = 0;

    qint64 length() const { return last - first + 1; }
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

HttpResponse receivedSoFar(qint64 bytes)
{
    HttpResponse response = ack();
    response.setHeader("BITS-Received-Content-Range", QByteArray::number(bytes));
    return response;
}

// A fragment that cannot extend what the session has: over the limit, of another total, or
// beyond a gap.
std::optional<HttpResponse> refuseRange(const UploadSession &session, const Range &range)
{
    if (range.total > BitsUploadEndpoint::kMaximumUpload)
        return error(413, kTooLarge);
    if (session.total >= 0 && range.total != session.total)
        return error(400, kInvalidArgument);
    if (range.first > session.received) {
        HttpResponse response = error(416, kInvalidArgument);
        response.setHeader("BITS-Received-Content-Range", QByteArray::number(session.received));
        return response;
    }
    return std::nullopt;
}

// Writes the body from `skip` on at `offset` of the part file, first cutting off whatever an
// earlier failed write left beyond the offset. A part file shorter than the offset lost data
// and is not patched with a hole.
bool writeAt(const QString &partFile, qint64 offset, const HttpRequest &request, qint64 skip)
{
    QFile part(partFile);
    if (!part.exists() || !part.open(QIODevice::ReadWrite) || part.size() < offset
        || !part.resize(offset) || !part.seek(offset))
        return false;
    if (request.bodyFile.isEmpty()) {
        const qint64 size = request.body.size() - skip;
        return part.write(request.body.constData() + skip, size) == size && part.flush();
    }
    QFile body(request.bodyFile);
    if (!body.open(QIODevice::ReadOnly) || !body.seek(skip))
        return false;
    constexpr qint64 kChunk = 256 * 1024;
    while (!body.atEnd()) {
        const QByteArray chunk = body.read(kChunk);
        if (chunk.isEmpty() || part.write(chunk) != chunk.size())
            return false;
    }
    return part.flush();
}

struct PartFileDigest
{
    qint64 size = 0;
    QByteArray sha1Hex;
    bool looksLikeJpeg = false;
};

std::optional<PartFileDigest> digest(const QString &partFile)
{
    QFile part(partFile);
    if (!part.open(QIODevice::ReadOnly))
        return std::nullopt;
    PartFileDigest result;
    result.size = part.size();
    result.looksLikeJpeg = part.peek(3) == QByteArray("\xFF\xD8\xFF");
    QCryptographicHash sha1(QCryptographicHash::Sha1);
    if (!sha1.addData(&part))
        return std::nullopt;
    result.sha1Hex = sha1.result().toHex();
    return result;
}

} // namespace

BitsUploadEndpoint::BitsUploadEndpoint(
    Database &database, const ServiceConfig &config, RequestLog &log, FaultInjector &faults)
    : m_database(database)
    , m_config(config)
    , m_log(log)
    , m_faults(faults)
{ }

// Only fragments carry a body, and only to an open session at the point it has reached: every
// other upload request is refused before a byte of its body is read, and an admitted fragment
// goes to a spool file rather than into memory.
HttpAdmission BitsUploadEndpoint::admit(const HttpRequest &request) const
{
    if (request.method != "BITS_POST")
        return HttpAdmission {HttpResponse::text(405, "text/plain", "Uploads take BITS_POST\n")};
    const qint64 declared = request.declaredLength();
    if (declared > kMaximumUpload)
        return HttpAdmission {error(413, kTooLarge)};
    if (request.header("BITS-Packet-Type").trimmed().compare("Fragment", Qt::CaseInsensitive) != 0)
        return HttpAdmission {std::nullopt, kControlBody};
    const QString token = request.path.mid(kPathPrefix.size());
    const auto lock = m_database.lock();
    const AddressState state = addressState(m_database, token);
    if (state != AddressState::Open)
        return HttpAdmission {addressError(state)};
    const std::optional<UploadSession> session = findSession(m_database, token, request);
    if (!session)
        return HttpAdmission {error(400, kUnknownSession)};
    const std::optional<Range> range = parseRange(request.header("Content-Range"));
    if (!range || (declared >= 0 && declared != range->length()))
        return HttpAdmission {error(400, kInvalidArgument)};
    if (std::optional<HttpResponse> refusal = refuseRange(*session, *range))
        return HttpAdmission {refusal};
    return HttpAdmission {std::nullopt, range->length(), true};
}

HttpResponse BitsUploadEndpoint::handle(const HttpRequest &request) const
{
    if (request.method != "BITS_POST")
        return HttpResponse::text(405, "text/plain", "Uploads take BITS_POST\n");
    const QString token = request.path.mid(kPathPrefix.size());
    const QByteArray packet = request.header("BITS-Packet-Type").trimmed();
    const QString packetName = QString::fromLatin1(packet);
    // The address is a bearer secret until the upload is done: it never goes into the log.
    m_log.write(QStringLiteral("BITS_POST %1… %2").arg(kPathPrefix, packetName));

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
    // Sessions of dead addresses go whenever a new one begins.
    QStringList replaced = dropAbandoned(m_database);
    const QString id = QUuid::createUuid().toString(QUuid::WithBraces).toUpper();
    const QString partFile = QDir(m_config.uploadsDirectory())
                                 .filePath(QUuid::createUuid().toString(QUuid::Id128) + ".part");
    QFile part(partFile);
    if (!part.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return error(500, kStorageFailure);
    // One open session per address: a new one (a client that lost the reply to its first)
    // replaces the old, so an open address never holds more than one part file.
    try {
        Transaction transaction(m_database);
        Statement previous
            = m_database.prepare("SELECT part_file FROM bits_sessions WHERE upload_token = ?1");
        previous.bind(1, token);
        while (previous.step())
            replaced.append(previous.text(0));
        m_database.prepare("DELETE FROM bits_sessions WHERE upload_token = ?1")
            .bind(1, token)
            .run();
        m_database
            .prepare("INSERT INTO bits_sessions (id, upload_token, part_file, created) "
                     "VALUES (?1, ?2, ?3, ?4)")
            .bind(1, id)
            .bind(2, token)
            .bind(3, partFile)
            .bind(4, ServiceDates::now())
            .run();
        transaction.commit();
    } catch (const StorageError &) {
        QFile::remove(partFile);
        throw;
    }
    for (const QString &file : replaced)
        QFile::remove(file);
    HttpResponse response = ack();
    response.setHeader("BITS-Protocol", kUploadProtocol);
    response.setHeader("BITS-Session-Id", id.toLatin1());
    response.setHeader("Accept-Encoding", "Identity");
    return response;
}

// The bytes beyond what the session received are written at their offset, and the count moves
// in the same transaction: a retried fragment overwrites rather than appends, and a failed
// write leaves the count where it was.
HttpResponse BitsUploadEndpoint::fragment(const QString &token, const HttpRequest &request) const
{
    const auto lock = m_database.lock();
    Transaction transaction(m_database);
    const std::optional<UploadSession> session = findSession(m_database, token, request);
    if (!session)
        return error(400, kUnknownSession);
    if (request.bodyTooLarge)
        return error(413, kTooLarge);
    const std::optional<Range> range = parseRange(request.header("Content-Range"));
    if (!range || range->length() != request.bodySize)
        return error(400, kInvalidArgument);
    if (std::optional<HttpResponse> refusal = refuseRange(*session, *range))
        return *refusal;
    if (range->last < session->received)
        return receivedSoFar(session->received); // a repeat of what is already here

    if (!writeAt(session->partFile, session->received, request, session->received - range->first))
        return error(500, kStorageFailure);
    const qint64 now = range->last + 1;
    m_database.prepare("UPDATE bits_sessions SET received = ?1, total = ?2 WHERE id = ?3")
        .bind(1, now)
        .bind(2, range->total)
        .bind(3, session->id)
        .run();
    transaction.commit();
    return receivedSoFar(now);
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
    const std::optional<PartFileDigest> file = digest(session->partFile);
    if (!file)
        return error(500, kStorageFailure);
    // A file that is not exactly what the fragments announced is damaged: never a rendition.
    if (file->size != session->total || !file->looksLikeJpeg)
        return error(400, kInvalidArgument); // the client may cancel and upload again
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
            .bind(2, file->size)
            .bind(3, QString::fromLatin1(file->sha1Hex))
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

QStringList BitsUploadEndpoint::dropAbandoned(Database &database)
{
    // Sessions of addresses no longer open (settled, re-issued or destroyed work) will never be
    // closed, nor will sessions a day old.
    const char *const abandoned
        = "created < strftime('%Y-%m-%dT%H:%M:%S+00:00', 'now', '-1 day') "
          "OR upload_token NOT IN (SELECT upload_token FROM commands WHERE state = 'issued' "
          "AND upload_file = '' AND upload_token IS NOT NULL)";
    QStringList partFiles;
    Transaction transaction(database);
    Statement parts = database.prepare(
        (QByteArray("SELECT part_file FROM bits_sessions WHERE ") + abandoned).constData());
    while (parts.step())
        partFiles.append(parts.text(0));
    database.execute((QByteArray("DELETE FROM bits_sessions WHERE ") + abandoned).constData());
    transaction.commit();
    return partFiles;
}
} // namespace pondrel::refservice
