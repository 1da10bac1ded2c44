// SPDX-License-Identifier: GPL-2.0-or-later
#include "refservice/HttpServer.h"

#include <microhttpd.h>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace pondrel::refservice {

namespace {

// Lives from the first callback of a request until libmicrohttpd reports it completed.
struct PendingRequest
{
    HttpRequest request;
    qint64 bodyLimit = 0;
};

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

PendingRequest *beginRequest(
    const HttpServer &server, MHD_Connection *connection, const char *url, const char *method)
{
    auto pending = std::make_unique<PendingRequest>();
    pending->request.method = QByteArray(method);
    pending->request.path = QString::fromUtf8(url);
    MHD_get_connection_values(connection, MHD_HEADER_KIND, collectHeader, &pending->request);
    MHD_get_connection_values(connection, MHD_GET_ARGUMENT_KIND, collectQuery, &pending->request);
    const MHD_ConnectionInfo *info
        = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    pending->request.fromLoopback = info && isLoopback(info->client_addr);
    pending->bodyLimit = server.bodyLimit(pending->request.path);
    return pending.release();
}

void appendBody(PendingRequest &pending, const char *data, size_t size)
{
    if (pending.request.bodyTooLarge)
        return;
    if (pending.request.body.size() + qint64(size) > pending.bodyLimit) {
        // Keep reading so the connection stays in step, but hold on to nothing.
        pending.request.bodyTooLarge = true;
        pending.request.body.clear();
        pending.request.body.squeeze();
        return;
    }
    pending.request.body.append(data, qsizetype(size));
}

MHD_Result sendResponse(MHD_Connection *connection, const HttpResponse &reply)
{
    if (reply.drop)
        return MHD_NO;
    MHD_Response *response = MHD_create_response_from_buffer(size_t(reply.body.size()),
        const_cast<char *>(reply.body.constData()), MHD_RESPMEM_MUST_COPY);
    if (!response)
        return MHD_NO;
    for (const auto &[name, value] : reply.headers)
        MHD_add_response_header(response, name.constData(), value.constData());
    const MHD_Result result = MHD_queue_response(connection, unsigned(reply.status), response);
    MHD_destroy_response(response);
    return result;
}

MHD_Result answer(void *cls, MHD_Connection *connection, const char *url, const char *method,
    const char *, const char *uploadData, size_t *uploadDataSize, void **state)
{
    const auto *server = static_cast<const HttpServer *>(cls);
    if (!*state) {
        *state = beginRequest(*server, connection, url, method);
        return MHD_YES;
    }
    auto *pending = static_cast<PendingRequest *>(*state);
    if (*uploadDataSize > 0) {
        appendBody(*pending, uploadData, *uploadDataSize);
        *uploadDataSize = 0;
        return MHD_YES;
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

HttpServer::HttpServer(Handler handler, BodyLimit bodyLimit)
    : m_handler(std::move(handler))
    , m_bodyLimit(std::move(bodyLimit))
{ }

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

bool HttpServer::start(int threads, QString &errorMsg)
{
    unsigned flags = MHD_USE_AUTO_INTERNAL_THREAD | MHD_USE_ERROR_LOG;
    if (m_ipv6)
        flags |= MHD_USE_IPv6;
    MHD_Daemon *daemon
        = MHD_start_daemon(flags, 0, nullptr, nullptr, &answer, this, MHD_OPTION_LISTEN_SOCKET,
            m_socket, MHD_OPTION_THREAD_POOL_SIZE, unsigned(threads), MHD_OPTION_CONNECTION_TIMEOUT,
            unsigned(120), MHD_OPTION_NOTIFY_COMPLETED, &completed, nullptr, MHD_OPTION_END);
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
