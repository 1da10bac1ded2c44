#include "LoopbackHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

struct LoopbackHttpServer::Connection
{
    int socket = -1;
    QByteArray pending;
    bool continueSent = false;
    // After an early reply: what still arrives is read and dropped until the peer closes, so
    // that closing never resets the connection before the peer has read the reply.
    bool lingering = false;
};

namespace {

bool sendAll(int socket, const QByteArray &bytes)
{
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t result
            = ::send(socket, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
        if (result <= 0)
            return false;
        sent += result;
    }
    return true;
}

} // namespace

QByteArray LoopbackHttpServer::Request::header(const QByteArray &name) const
{
    const QList<QByteArray> lines = head.split('\n');
    for (const QByteArray &line : lines.mid(1)) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().toLower() == name.toLower())
            return line.mid(colon + 1).trimmed();
    }
    return {};
}

bool LoopbackHttpServer::Request::hasHeader(const QByteArray &name) const
{
    return head.toLower().contains("\n" + name.toLower() + ":");
}

quint16 LoopbackHttpServer::closedPort()
{
    const int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(probe, reinterpret_cast<sockaddr *>(&address), length);
    ::getsockname(probe, reinterpret_cast<sockaddr *>(&address), &length);
    ::close(probe);
    return ntohs(address.sin_port);
}

bool LoopbackHttpServer::acceptsConnections(quint16 port)
{
    const int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    const bool connected
        = ::connect(probe, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    ::close(probe);
    return connected;
}

LoopbackHttpServer::LoopbackHttpServer()
{
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr *>(&address), length) != 0
        || ::listen(m_listener, 16) != 0
        || ::getsockname(m_listener, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        throw std::runtime_error("cannot listen on 127.0.0.1");
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { serve(); });
}

LoopbackHttpServer::~LoopbackHttpServer()
{
    m_stop = true;
    m_thread.join();
    ::close(m_listener);
}

QString LoopbackHttpServer::url(const QString &path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path);
}

void LoopbackHttpServer::setResponder(Responder responder)
{
    const std::lock_guard<std::mutex> lock(m_lock);
    m_responder = std::move(responder);
}

void LoopbackHttpServer::respondWith(const QByteArray &response)
{
    setResponder([response](const Request &) { return response; });
}

void LoopbackHttpServer::neverAnswer()
{
    setResponder([](const Request &) { return std::nullopt; });
}

void LoopbackHttpServer::enqueue(std::optional<QByteArray> response, bool early)
{
    const std::lock_guard<std::mutex> lock(m_lock);
    m_queue.push_back({std::move(response), early});
}

std::vector<LoopbackHttpServer::Request> LoopbackHttpServer::requests() const
{
    const std::lock_guard<std::mutex> lock(m_lock);
    return m_requests;
}

QList<QByteArray> LoopbackHttpServer::rawRequests() const
{
    QList<QByteArray> raw;
    for (const Request &request : requests())
        raw.append(request.raw());
    return raw;
}

QByteArray LoopbackHttpServer::response(int status, const QByteArray &body,
    const QByteArray &contentType, const QByteArray &extraHeaders)
{
    const QByteArray typeLine
        = contentType.isEmpty() ? QByteArray() : "Content-Type: " + contentType + "\r\n";
    return "HTTP/1.1 " + QByteArray::number(status) + " Status\r\n" + typeLine + "Content-Length: "
        + QByteArray::number(body.size()) + "\r\n" + extraHeaders + "\r\n" + body;
}

bool LoopbackHttpServer::nextIsEarly() const
{
    const std::lock_guard<std::mutex> lock(m_lock);
    return !m_queue.empty() && m_queue.front().early;
}

std::optional<QByteArray> LoopbackHttpServer::answer(const Request &request)
{
    const std::lock_guard<std::mutex> lock(m_lock);
    m_requests.push_back(request);
    if (!m_queue.empty()) {
        const std::optional<QByteArray> queued = m_queue.front().response;
        m_queue.pop_front();
        return queued;
    }
    if (!m_responder)
        return response(200, {});
    return m_responder(request);
}

// Reads what arrived; answers every complete request in it. False when the connection must go.
bool LoopbackHttpServer::handleReadable(Connection &connection)
{
    char buffer[65536];
    const ssize_t received = ::recv(connection.socket, buffer, sizeof buffer, 0);
    if (received <= 0)
        return false;
    if (connection.lingering)
        return true;
    connection.pending.append(buffer, received);
    for (;;) {
        const qsizetype headEnd = connection.pending.indexOf("\r\n\r\n");
        if (headEnd < 0)
            return true;
        Request request;
        request.head = connection.pending.left(headEnd + 2);
        const qsizetype length = request.header("Content-Length").toLongLong();
        const bool early = nextIsEarly();
        if (connection.pending.size() < headEnd + 4 + length && !early) {
            if (!connection.continueSent
                && request.header("Expect").toLower() == QByteArrayLiteral("100-continue")) {
                connection.continueSent = true;
                sendAll(connection.socket, "HTTP/1.1 100 Continue\r\n\r\n");
            }
            return true;
        }
        if (!early)
            request.body = connection.pending.mid(headEnd + 4, length);
        connection.pending.remove(0, headEnd + 4 + request.body.size());
        connection.continueSent = false;
        const std::optional<QByteArray> reply = answer(request);
        if (reply && !sendAll(connection.socket, *reply))
            return false;
        if (early) {
            ::shutdown(connection.socket, SHUT_WR);
            connection.lingering = true;
            return true;
        }
    }
}

void LoopbackHttpServer::serve()
{
    std::vector<Connection> connections;
    while (!m_stop) {
        std::vector<pollfd> watched {{m_listener, POLLIN, 0}};
        for (const Connection &connection : connections)
            watched.push_back({connection.socket, POLLIN, 0});
        if (::poll(watched.data(), watched.size(), 20) <= 0)
            continue;
        for (size_t index = connections.size(); index > 0; --index) {
            if (!(watched[index].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            Connection &connection = connections[index - 1];
            if (!handleReadable(connection)) {
                ::close(connection.socket);
                connections.erase(connections.begin() + qsizetype(index - 1));
            }
        }
        if (watched[0].revents & POLLIN) {
            const int accepted = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (accepted >= 0) {
                ++m_connections;
                connections.push_back({accepted, {}, false});
            }
        }
    }
    for (const Connection &connection : connections)
        ::close(connection.socket);
}
