#include "LoopbackHttpServer.h"

#include <QList>

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
    const QList<QByteArray> lines = head.split('\n');
    for (const QByteArray &line : lines.mid(1)) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().toLower() == name.toLower())
            return true;
    }
    return false;
}

LoopbackHttpServer::LoopbackHttpServer()
{
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
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

QString LoopbackHttpServer::url() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_port);
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

std::vector<LoopbackHttpServer::Request> LoopbackHttpServer::requests() const
{
    const std::lock_guard<std::mutex> lock(m_lock);
    return m_requests;
}

QByteArray LoopbackHttpServer::response(int status, const QByteArray &body,
    const QByteArray &contentType, const QByteArray &extraHeaders)
{
    return "HTTP/1.1 " + QByteArray::number(status) + " Status\r\nContent-Type: " + contentType
        + "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n" + extraHeaders + "\r\n"
        + body;
}

std::optional<QByteArray> LoopbackHttpServer::answer(const Request &request)
{
    const std::lock_guard<std::mutex> lock(m_lock);
    m_requests.push_back(request);
    if (!m_responder)
        return response(200, {});
    return m_responder(request);
}

// Reads what arrived; answers every complete request in it. False when the peer has gone.
bool LoopbackHttpServer::handleReadable(Connection &connection)
{
    char buffer[65536];
    const ssize_t received = ::recv(connection.socket, buffer, sizeof buffer, 0);
    if (received <= 0)
        return false;
    connection.pending.append(buffer, received);
    for (;;) {
        const qsizetype headEnd = connection.pending.indexOf("\r\n\r\n");
        if (headEnd < 0)
            return true;
        Request request;
        request.head = connection.pending.left(headEnd + 2);
        const qsizetype length = request.header("Content-Length").toLongLong();
        if (connection.pending.size() < headEnd + 4 + length) {
            if (!connection.continueSent
                && request.header("Expect").toLower() == QByteArrayLiteral("100-continue")) {
                connection.continueSent = true;
                sendAll(connection.socket, "HTTP/1.1 100 Continue\r\n\r\n");
            }
            return true;
        }
        request.body = connection.pending.mid(headEnd + 4, length);
        connection.pending.remove(0, headEnd + 4 + length);
        connection.continueSent = false;
        const std::optional<QByteArray> reply = answer(request);
        if (reply && !sendAll(connection.socket, *reply))
            return false;
    }
}

void LoopbackHttpServer::serve()
{
    std::vector<Connection> connections;
    while (!m_stop) {
        std::vector<pollfd> watched {{m_listener, POLLIN, 0}};
        for (const Connection &connection : connections)
            watched.push_back({connection.socket, POLLIN, 0});
        if (::poll(watched.data(), watched.size(), 50) <= 0)
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
