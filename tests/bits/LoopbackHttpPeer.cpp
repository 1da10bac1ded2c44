#include "LoopbackHttpPeer.h"

#include <QList>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

namespace {

constexpr int kPollMilliseconds = 20;

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 201:
        return "Created";
    case 403:
        return "Forbidden";
    case 413:
        return "Payload Too Large";
    default:
        return "Status";
    }
}

// The body length a request announces; 0 when it announces none.
qsizetype contentLength(const QByteArray &head)
{
    for (const QByteArray &line : head.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().toLower() == "content-length")
            return line.mid(colon + 1).trimmed().toLongLong();
    }
    return 0;
}

void sendAll(int socket, const QByteArray &bytes)
{
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t count
            = ::send(socket, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
        if (count <= 0)
            return;
        sent += count;
    }
}

} // namespace

LoopbackHttpPeer::LoopbackHttpPeer()
{
    m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(m_listener, reinterpret_cast<sockaddr *>(&address), sizeof address);
    ::listen(m_listener, 8);
    socklen_t length = sizeof address;
    ::getsockname(m_listener, reinterpret_cast<sockaddr *>(&address), &length);
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { serve(); });
}

LoopbackHttpPeer::~LoopbackHttpPeer()
{
    m_stop = true;
    m_thread.join();
    ::close(m_listener);
}

QString LoopbackHttpPeer::url(const QString &path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path);
}

void LoopbackHttpPeer::enqueue(Reply reply)
{
    const std::lock_guard lock(m_mutex);
    m_replies.push_back(std::move(reply));
}

QList<QByteArray> LoopbackHttpPeer::requests() const
{
    const std::lock_guard lock(m_mutex);
    return m_requests;
}

LoopbackHttpPeer::Reply LoopbackHttpPeer::nextReply()
{
    const std::lock_guard lock(m_mutex);
    if (m_replies.empty())
        return Reply {500, {}, false, false};
    Reply reply = std::move(m_replies.front());
    m_replies.pop_front();
    return reply;
}

bool LoopbackHttpPeer::answerCompleteRequests(Connection &connection)
{
    for (;;) {
        const qsizetype headEnd = connection.pending.indexOf("\r\n\r\n");
        if (headEnd < 0)
            return true;
        const qsizetype bodyStart = headEnd + 4;
        const qsizetype bodyLength = contentLength(connection.pending.left(headEnd));
        const bool bodyComplete = connection.pending.size() >= bodyStart + bodyLength;
        const bool answerEarly = [&] {
            const std::lock_guard lock(m_mutex);
            return !m_replies.empty() && m_replies.front().answerBeforeBody;
        }();
        if (!bodyComplete && !answerEarly)
            return true;
        const qsizetype taken = bodyComplete ? bodyStart + bodyLength : bodyStart;
        {
            const std::lock_guard lock(m_mutex);
            m_requests.append(connection.pending.left(taken));
        }
        connection.pending.remove(0, taken);
        const Reply reply = nextReply();
        if (reply.silent)
            return true;
        QByteArray answer = "HTTP/1.1 " + QByteArray::number(reply.status) + ' '
            + reasonPhrase(reply.status) + "\r\n";
        for (const QByteArray &line : reply.headerLines)
            answer += line + "\r\n";
        answer += "Content-Length: 0\r\n";
        if (reply.answerBeforeBody)
            answer += "Connection: close\r\n";
        answer += "\r\n";
        sendAll(connection.socket, answer);
        if (reply.answerBeforeBody)
            return false;
    }
}

void LoopbackHttpPeer::serve()
{
    std::vector<Connection> connections;
    while (!m_stop) {
        std::vector<pollfd> watched {{m_listener, POLLIN, 0}};
        for (const Connection &connection : connections)
            watched.push_back({connection.socket, POLLIN, 0});
        if (::poll(watched.data(), watched.size(), kPollMilliseconds) <= 0)
            continue;
        if (watched[0].revents & POLLIN) {
            const int socket = ::accept(m_listener, nullptr, nullptr);
            if (socket >= 0) {
                connections.push_back({socket, {}});
                ++m_connections;
            }
        }
        std::vector<Connection> stillOpen;
        for (size_t i = 0; i < connections.size(); ++i) {
            Connection &connection = connections[i];
            bool open = true;
            if (i + 1 < watched.size() && (watched[i + 1].revents & (POLLIN | POLLHUP | POLLERR))) {
                char buffer[65536];
                const ssize_t count = ::recv(connection.socket, buffer, sizeof buffer, 0);
                if (count <= 0)
                    open = false;
                else {
                    connection.pending.append(buffer, count);
                    open = answerCompleteRequests(connection);
                }
            }
            if (open)
                stillOpen.push_back(std::move(connection));
            else
                ::close(connection.socket);
        }
        connections = std::move(stillOpen);
    }
    for (const Connection &connection : connections)
        ::close(connection.socket);
}
