#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// A small HTTP/1.1 server on 127.0.0.1 for the transport tests: it keeps the raw bytes of every
// request and answers each with what the responder returns (nothing at all for std::nullopt).
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
    };

    using Responder = std::function<std::optional<QByteArray>(const Request &)>;

    LoopbackHttpServer();
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer &) = delete;
    LoopbackHttpServer &operator=(const LoopbackHttpServer &) = delete;

    quint16 port() const { return m_port; }
    QString url() const;

    void setResponder(Responder responder);
    void respondWith(const QByteArray &response);
    void neverAnswer();

    std::vector<Request> requests() const;
    int connectionCount() const { return m_connections; }

    // A complete response with a Content-Length.
    static QByteArray response(int status, const QByteArray &body,
        const QByteArray &contentType = "text/xml; charset=utf-8",
        const QByteArray &extraHeaders = {});

private:
    struct Connection;
    void serve();
    bool handleReadable(Connection &connection);
    std::optional<QByteArray> answer(const Request &request);

    int m_listener = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stop = false;
    std::atomic<int> m_connections = 0;
    mutable std::mutex m_lock;
    Responder m_responder;
    std::vector<Request> m_requests;
    std::thread m_thread;
};
