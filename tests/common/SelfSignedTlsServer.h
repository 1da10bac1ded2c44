// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace pondrel {

// A TLS server on 127.0.0.1 (openssl s_server) with a freshly made self-signed certificate: the
// stand-in for a machine in the middle. It never answers; it prints whatever a client sends once
// the handshake has passed.
class SelfSignedTlsServer
{
public:
    SelfSignedTlsServer();
    ~SelfSignedTlsServer();
    SelfSignedTlsServer(const SelfSignedTlsServer &) = delete;
    SelfSignedTlsServer &operator=(const SelfSignedTlsServer &) = delete;

    // False when the openssl program is missing or the server did not start.
    bool isListening() const { return m_listening; }
    QString url(const QString &path) const;
    // Waits up to ten seconds for text in what the server printed.
    bool waitForOutput(const QByteArray &text);

private:
    QTemporaryDir m_dir;
    quint16 m_port;
    QProcess m_server;
    QByteArray m_output;
    bool m_listening = false;
};

} // namespace pondrel
