// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QTcpServer>
#include <QTcpSocket>

#include <memory>
#include <vector>

namespace pondrel {

// An HTTP relay on 127.0.0.1 between a program and the reference service that keeps a copy of
// every request, so a test sees what went over the wire and when. Runs on the test's thread:
// requests are taken in while the test waits with pumpUntil().
class RecordingProxy : public QObject
{
    Q_OBJECT

public:
    struct Request
    {
        qint64 receivedAtMs; // since start()
        QByteArray head; // request line and headers
        QByteArray body;
        QByteArray soapOperation() const; // the last piece of SOAPAction, or empty
    };

    bool start(quint16 upstreamPort);
    QString baseUrl() const;
    const std::vector<Request> &requests() const { return m_requests; }
    // The requests of one SOAP operation, in order of arrival.
    std::vector<Request> requestsFor(const QByteArray &operation) const;
    qint64 elapsedMs() const { return m_clock.elapsed(); }

private:
    struct Relay
    {
        std::unique_ptr<QTcpSocket> client;
        std::unique_ptr<QTcpSocket> upstream;
        QByteArray pending;
    };

    void accept();
    void takeRequests(Relay &relay);

    QTcpServer m_server;
    quint16 m_upstreamPort = 0;
    QElapsedTimer m_clock;
    std::vector<std::unique_ptr<Relay>> m_relays;
    std::vector<Request> m_requests;
};

// Runs the event loop until the condition holds or the time is up; the condition's last value.
bool pumpUntil(const std::function<bool()> &condition, int timeoutMs);
// Runs the event loop for that long.
void pumpFor(int milliseconds);

} // namespace pondrel
