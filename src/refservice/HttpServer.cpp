// SPDX-License-Identifier: GPL-2.0-or-later
#include "refservice/HttpServer.h"

#include <QElapsedTimer>
#include <QTemporaryFile>

#include <microhttpd.h>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

namespace pondrel::refservice {

namespace {

// A connection idle this long is closed.
constexpr unsigned kIdleTimeoutSeconds = 30;
// A body still arriving this long after its headers is dropped with its connection, however
// steadily it trickles in.
constexpr qint64 kBodyDeadlineMs = 120 * 1000;

// Lives from the first callback of a request until libmicrohttpd reports it completed.
struct PendingRequest
{
    HttpRequest request;
    HttpAdmission admission;
    std::unique_ptr<QTemporaryFile> spool; // removed with the request
    QElapsedTimer age;
    bool refused = false;
};

HttpResponse internalError()
{
    return HttpResponse::text(500, "text/plain; charset=utf-8", "Internal error\n");
}

MHD_Result collectHeader(void *cls, MHD_ValueKind, const char *key, const char *value)
{
    auto *request = static_cast<HttpRequest *>(cls);
    request->headers.insert(QByteArray(key).toLower(), QByteArray(value ? value : ""));
    return MHD_YES;
}

MHD_Result collectQuery(void *cls, MHD_ValueKind, const char *key, const char *value)
{
    auto *request = static_cast<HttpRequest *>(cls);
    request->query.insert(QString::fromUtf8(key), QString::fromUtf8(value ? value : ""));
    return MHD_YES;
}

bool isLoopback(const sockaddr *address)
{
    if (!address)
        return false;
    if (address->sa_family == AF_INET) {
        const auto *ipv4 = reinterpret_cast<const sockaddr_in *>(address);
        return (ntohl(ipv4->sin_addr.s_addr) >> 24) == 127;
    }
    if (address->sa_family == AF_INET6) {
        const auto *ipv6 = reinterpret_cast<const sockaddr_in6 *>(address);
        if (IN6_IS_ADDR_LOOPBACK(&ipv6->sin6_addr))
            return true;
        return IN6_IS_ADDR_V4MAPPED(&ipv6->sin6_addr) && ipv6->sin6_addr.s6_addr[12] == 127;
    }
    return false;
}

std::unique_ptr<PendingRequest> beginRequest(
    MHD_Connection *connection, const char *url, const char *method)
{
    auto pending = std::make_unique<PendingRequest>();
    pending->age.start();
    pending->request.method = QByteArray(method);
    pending->request.path = QString::fromUtf8(url);
    MHD_get_connection_values(connection, MHD_HEADER_KIND, collectHeader, &pending->request);
    MHD_get_connection_values(connection, MHD_GET_ARGUMENT_KIND, collectQuery, &pending->request);
    const MHD_ConnectionInfo *info
        = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    pending->request.fromLoopback = info && isLoopback(info->client_addr);
    return pending;
}

// False when the spool file cannot take the bytes.
bool appendBody(PendingRequest &pending, const char *data, size_t size)
{
    HttpRequest &request = pending.request;
    if (request.bodyTooLarge)
        return true;
    if (request.bodySize + qint64(size) > pending.admission.bodyLimit) {
        // Keep reading so the connection stays in step, but hold on to nothing.
        request.bodyTooLarge = true;
        request.body.clear();
        request.body.squeeze();
        if (pending.spool)
            pending.spool->resize(0);
        return true;
    }
    request.bodySize += qint64(size);
    if (!pending.spool) {
        request.body.append(data, qsizetype(size));
        return true;
    }
    return pending.spool->write(data, qint64(size)) == qint64(size);
}

std::unique_ptr<QTemporaryFile> openSpool(const QString &directory)
{
    auto spool = std::make_unique<QTemporaryFile>(directory + QStringLiteral("/XXXXXX.body"));
    if (!spool->open())
        return nullptr;
    return spool;
}

// Hands out the first half of the body, then fails, which makes libmicrohttpd close the
// connection with the answer announced but incomplete.
ssize_t readHalf(void *cls, uint64_t position, char *buffer, size_t max)
{
    const QByteArray &body = *static_cast<const QByteArray *>(cls);
    const uint64_t half = uint64_t(body.size()) / 2;
    if (position >= half)
        return MHD_CONTENT_READER_END_WITH_ERROR;
    const size_t length = std::min(size_t(half - position), max);
    std::memcpy(buffer, body.constData() + position, length);
    return ssize_t(length);
}

// The response keeps a share of the body for as long as libmicrohttpd sends it: a reply of many
// megabytes is never copied.
MHD_Response *createResponse(const HttpResponse &reply)
{
    auto body = std::make_unique<QByteArray>(reply.body);
    const auto release = [](void *cls) { delete static_cast<QByteArray *>(cls); };
    MHD_Response *response = reply.cutShort
        ? MHD_create_response_from_callback(
            uint64_t(body->size()), 4096, readHalf, body.get(), release)
        : MHD_create_response_from_buffer_with_free_callback_cls(
            size_t(body->size()), const_cast<char *>(body->constData()), release, body.get());
    if (response)
        body.release();
    return response;
}

MHD_Result sendResponse(MHD_Connection *connection, const HttpResponse &reply)
{
    if (reply.drop)
        return MHD_NO;
    MHD_Response *response = createResponse(reply);
    if (!response)
        return MHD_NO;
    for (const auto &[name, value] : reply.headers)
        MHD_add_response_header(response, name.constData(), value.constData());
    const MHD_Result result = MHD_queue_response(connection, unsigned(reply.status), response);
    MHD_destroy_response(response);
    return result;
}

// The first call has the headers: the request is refused or admitted before its body is read.
MHD_Result admit(const HttpServer &server, MHD_Connection *connection, PendingRequest &pending)
{
    pending.admission = server.admit(pending.request);
    if (pending.admission.refusal) {
        pending.refused = true;
        return sendResponse(connection, *pending.admission.refusal);
    }
    if (pending.admission.spoolToDisk) {
        pending.spool = openSpool(server.spoolDirectory());
        if (!pending.spool) {
            pending.refused = true;
            return sendResponse(connection, internalError());
        }
    }
    return MHD_YES;
}

MHD_Result answer(void *cls, MHD_Connection *connection, const char *url, const char *method,
    const char *, const char *uploadData, size_t *uploadDataSize, void **state)
{
    const auto *server = static_cast<const HttpServer *>(cls);
    if (!*state) {
        std::unique_ptr<PendingRequest> pending = beginRequest(connection, url, method);
        PendingRequest &admitted = *pending;
        *state = pending.release();
        return admit(*server, connection, admitted);
    }
    auto *pending = static_cast<PendingRequest *>(*state);
    if (pending->refused) {
        *uploadDataSize = 0;
        return MHD_YES;
    }
    if (*uploadDataSize > 0) {
        if (pending->age.elapsed() > kBodyDeadlineMs
            || !appendBody(*pending, uploadData, *uploadDataSize))
            return MHD_NO;
        *uploadDataSize = 0;
        return MHD_YES;
    }
    if (pending->spool) {
        if (!pending->spool->flush())
            return sendResponse(connection, internalError());
        pending->request.bodyFile = pending->spool->fileName();
    }
    return sendResponse(connection, server->handle(pending->request));
}

void completed(void *, MHD_Connection *, void **state, MHD_RequestTerminationCode)
{
    std::unique_ptr<PendingRequest> owned(static_cast<PendingRequest *>(*state));
    *state = nullptr;
}

bool resolve(const QString &host, quint16 port, sockaddr_storage &address, QString &errorMsg)
{
    addrinfo hints {};
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE;
    addrinfo *found = nullptr;
    const int result = getaddrinfo(host.toUtf8().constData(), nullptr, &hints, &found);
    if (result != 0 || !found) {
        errorMsg = QStringLiteral("cannot resolve %1: %2").arg(host, gai_strerror(result));
        return false;
    }
    std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> owned(found, freeaddrinfo);
    std::memset(&address, 0, sizeof address);
    std::memcpy(&address, found->ai_addr, found->ai_addrlen);
    if (address.ss_family == AF_INET6)
        reinterpret_cast<sockaddr_in6 &>(address).sin6_port = htons(port);
    else
        reinterpret_cast<sockaddr_in &>(address).sin_port = htons(port);
    return true;
}

} // namespace

void HttpServer::DaemonStopper::operator()(MHD_Daemon *daemon) const
{
    MHD_stop_daemon(daemon);
}

HttpServer::HttpServer(Handler handler, Admission admission, Limits limits)
    : m_handler(std::move(handler))
    , m_admission(std::move(admission))
    , m_limits(std::move(limits))
{ }

HttpResponse HttpServer::handle(const HttpRequest &request) const noexcept
{
    try {
        return m_handler(request);
    } catch (...) {
        return internalError();
    }
}

HttpAdmission HttpServer::admit(const HttpRequest &request) const noexcept
{
    try {
        return m_admission(request);
    } catch (...) {
        return HttpAdmission {internalError()};
    }
}

HttpServer::~HttpServer()
{
    stop();
}

bool HttpServer::listen(const QString &host, quint16 port, QString &errorMsg)
{
    sockaddr_storage address {};
    if (!resolve(host, port, address, errorMsg))
        return false;
    const int fd = socket(address.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        errorMsg = QString::fromLocal8Bit(strerror(errno));
        return false;
    }
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    const socklen_t length
        = address.ss_family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
    if (::bind(fd, reinterpret_cast<sockaddr *>(&address), length) != 0
        || ::listen(fd, SOMAXCONN) != 0) {
        errorMsg = QStringLiteral("cannot listen on %1:%2: %3")
                       .arg(host)
                       .arg(port)
                       .arg(QString::fromLocal8Bit(strerror(errno)));
        close(fd);
        return false;
    }
    sockaddr_storage bound {};
    socklen_t boundLength = sizeof bound;
    getsockname(fd, reinterpret_cast<sockaddr *>(&bound), &boundLength);
    m_port = ntohs(bound.ss_family == AF_INET6
            ? reinterpret_cast<const sockaddr_in6 &>(bound).sin6_port
            : reinterpret_cast<const sockaddr_in &>(bound).sin_port);
    m_ipv6 = address.ss_family == AF_INET6;
    m_socket = fd;
    return true;
}

bool HttpServer::start(QString &errorMsg)
{
    // A thread per connection: a handler that blocks (a password derivation, a wait for the
    // database) holds up its own client only, never the other connections of a shared thread.
    unsigned flags
        = MHD_USE_THREAD_PER_CONNECTION | MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_ERROR_LOG;
    if (m_ipv6)
        flags |= MHD_USE_IPv6;
    MHD_Daemon *daemon = MHD_start_daemon(flags, 0, nullptr, nullptr, &answer, this,
        MHD_OPTION_LISTEN_SOCKET, m_socket, MHD_OPTION_CONNECTION_TIMEOUT, kIdleTimeoutSeconds,
        MHD_OPTION_CONNECTION_LIMIT, unsigned(m_limits.connections),
        MHD_OPTION_PER_IP_CONNECTION_LIMIT, unsigned(m_limits.connectionsPerAddress),
        MHD_OPTION_NOTIFY_COMPLETED, &completed, nullptr, MHD_OPTION_END);
    if (!daemon) {
        errorMsg = QStringLiteral("cannot start the HTTP server");
        return false;
    }
    m_socket = -1;
    m_daemon.reset(daemon);
    return true;
}

void HttpServer::stop()
{
    m_daemon.reset();
    if (m_socket >= 0) {
        close(m_socket);
        m_socket = -1;
    }
}

} // namespace pondrel::refservice
