// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/agent/RecordingProxy.h"

#include <QCoreApplication>
#include <QThread>

namespace pondrel {

bool pumpUntil(const std::function<bool()> &condition, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return condition();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

void pumpFor(int milliseconds)
{
    pumpUntil([] { return false; }, milliseconds);
}

QByteArray RecordingProxy::Request::soapOperation() const
{
    for (const QByteArray &line : head.split('\n')) {
        if (!line.toLower().startsWith("soapaction:"))
            continue;
        QByteArray action = line.mid(11).trimmed();
        action.replace('"', "");
        return action.mid(action.lastIndexOf('/') + 1);
    }
    return {};
}

bool RecordingProxy::start(quint16 upstreamPort)
{
    m_upstreamPort = upstreamPort;
    m_clock.start();
    connect(&m_server, &QTcpServer::newConnection, this, &RecordingProxy::accept);
    return m_server.listen(QHostAddress::LocalHost, 0);
}

QString RecordingProxy::baseUrl() const
{
    return QString("http://127.0.0.1:%1").arg(m_server.serverPort());
}

std::vector<RecordingProxy::Request> RecordingProxy::requestsFor(const QByteArray &operation) const
{
    std::vector<Request> found;
    for (const Request &request : m_requests) {
        if (request.soapOperation() == operation)
            found.push_back(request);
    }
    return found;
}

void RecordingProxy::accept()
{
    while (QTcpSocket *incoming = m_server.nextPendingConnection()) {
        auto relay = std::make_unique<Relay>();
        relay->client.reset(incoming);
        incoming->setParent(nullptr);
        relay->upstream = std::make_unique<QTcpSocket>();
        relay->upstream->connectToHost(QHostAddress::LocalHost, m_upstreamPort);
        Relay *raw = relay.get();
        connect(raw->client.get(), &QTcpSocket::readyRead, this, [this, raw] {
            const QByteArray bytes = raw->client->readAll();
            raw->pending += bytes;
            takeRequests(*raw);
            raw->upstream->write(bytes);
        });
        connect(raw->upstream.get(), &QTcpSocket::readyRead, this,
            [raw] { raw->client->write(raw->upstream->readAll()); });
        connect(raw->upstream.get(), &QTcpSocket::disconnected, this,
            [raw] { raw->client->disconnectFromHost(); });
        connect(raw->client.get(), &QTcpSocket::disconnected, this,
            [raw] { raw->upstream->disconnectFromHost(); });
        m_relays.push_back(std::move(relay));
    }
}

// Cuts whole requests (head and Content-Length body) off the relay's buffer.
void RecordingProxy::takeRequests(Relay &relay)
{
    for (;;) {
        const qsizetype headEnd = relay.pending.indexOf("\r\n\r\n");
        if (headEnd < 0)
            return;
        const QByteArray head = relay.pending.left(headEnd);
        qsizetype length = 0;
        for (const QByteArray &line : head.split('\n')) {
            if (line.toLower().startsWith("content-length:"))
                length = line.mid(15).trimmed().toLongLong();
        }
        if (relay.pending.size() < headEnd + 4 + length)
            return;
        m_requests.push_back({m_clock.elapsed(), head, relay.pending.mid(headEnd + 4, length)});
        relay.pending.remove(0, headEnd + 4 + length);
    }
}

} // namespace pondrel
