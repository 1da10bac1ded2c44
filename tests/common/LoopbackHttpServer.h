#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// A small HTTP/1.1 server on 127.0.0.1 on a thread of its own (the clients under test block).
// It keeps the raw bytes of every request and answers it with the next queued reply, else with
// what the responder returns (nothing at all for std::nullopt; 200 with no body by default).
// Connections stay open between requests, as a real server's would.
class LoopbackHttpServer
{
public:
    struct Request
    {
        QByteArray head; // request line and header lines, CRLF-terminated, without the empty line
        QByteArray body;
        QByteArray header(const QByteArray &name) const;
        bool hasHeader(const QByteArray &name) const;
        QByteArray raw() const { return head + "\r\n" + body; }
    };

    using Responder = std::function<std::optional<QByteArray>(const Request &)>;

    LoopbackHttpServer();
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer &) = delete;
    LoopbackHttpServer &operator=(const LoopbackHttpServer &) = delete;

    quint16 port() const { return m_port; }
    QString url(const QString &path = {}) const;

    void setResponder(Responder responder);
    void respondWith(const QByteArray &response);
    void neverAnswer();
    // Replies for the next requests, in order; std::nullopt leaves that request unanswered.
    // An early reply goes out as soon as the header lines are in, without reading the body; the
    // server then sends nothing more on that connection and drops what arrives until it closes.
    void enqueue(std::optional<QByteArray> response, bool early = false);

    std::vector<Request> requests() const;
    QList<QByteArray> rawRequests() const;
    int connectionCount() const { return m_connections; }

    // A complete response with a Content-Length (and no Content-Type when contentType is empty).
    static QByteArray response(int status, const QByteArray &body,
        const QByteArray &contentType = "text/xml; charset=utf-8",
        const QByteArray &extraHeaders = {});

    // A loopback port that nothing listens on: bound for a moment to learn a free number.
    static quint16 closedPort();
    static bool acceptsConnections(quint16 port);

private:
    struct Connection;
    struct Queued
    {
        std::optional<QByteArray> response;
        bool early;
    };
    void serve();
    bool handleReadable(Connection &connection);
    bool nextIsEarly() const;
    std::optional<QByteArray> answer(const Request &request);

    int m_listener = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stop = false;
    std::atomic<int> m_connections = 0;
    mutable std::mutex m_lock;
    Responder m_responder;
    std::deque<Queued> m_queue;
    std::vector<Request> m_requests;
    std::thread m_thread;
};
