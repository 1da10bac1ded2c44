#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>
#include <deque>
#include <mutex>
#include <thread>

// A small HTTP/1.1 server on 127.0.0.1 for the upload tests. It records every request as the
// raw bytes that arrived (request line, header lines, body) and answers the requests in arrival
// order with the replies queued by the test. Connections are kept open between requests, as a
// BITS server does. It runs on a thread of its own because the client's requests block.
class LoopbackHttpPeer
{
public:
    struct Reply
    {
        int status = 200;
        QList<QByteArray> headerLines;
        // Answer as soon as the request's header lines are in, without reading the body, and
        // close the connection (for bodies too large to be worth sending).
        bool answerBeforeBody = false;
        // Record the request but never answer it.
        bool silent = false;
    };

    LoopbackHttpPeer();
    ~LoopbackHttpPeer();
    LoopbackHttpPeer(const LoopbackHttpPeer &) = delete;
    LoopbackHttpPeer &operator=(const LoopbackHttpPeer &) = delete;

    quint16 port() const { return m_port; }
    QString url(const QString &path) const;
    void enqueue(Reply reply);
    QList<QByteArray> requests() const;
    // Number of connections accepted so far.
    int connections() const { return m_connections; }

private:
    struct Connection
    {
        int socket;
        QByteArray pending;
    };

    void serve();
    // Handles the complete requests in connection.pending; false when the connection must close.
    bool answerCompleteRequests(Connection &connection);
    Reply nextReply();

    int m_listener = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stop {false};
    std::atomic<int> m_connections {0};
    mutable std::mutex m_mutex;
    std::deque<Reply> m_replies;
    QList<QByteArray> m_requests;
    std::thread m_thread;
};
