// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/common/SelfSignedTlsServer.h"

#include "tests/common/LoopbackHttpServer.h"

#include <QElapsedTimer>

namespace pondrel {

SelfSignedTlsServer::SelfSignedTlsServer()
    : m_port(LoopbackHttpServer::closedPort())
{
    const QString key = m_dir.filePath(QStringLiteral("key.pem"));
    const QString certificate = m_dir.filePath(QStringLiteral("certificate.pem"));
    QProcess request;
    request.start(QStringLiteral("openssl"),
        {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
            "-subj", "/CN=services.trevane.com", "-days", "1", "-keyout", key, "-out",
            certificate});
    if (!request.waitForFinished() || request.exitCode() != 0)
        return;
    m_server.start(QStringLiteral("openssl"),
        {"s_server", "-accept", QStringLiteral("127.0.0.1:%1").arg(m_port), "-cert", certificate,
            "-key", key});
    m_listening = m_server.waitForStarted() && waitForOutput("ACCEPT");
}

SelfSignedTlsServer::~SelfSignedTlsServer()
{
    m_server.kill();
    m_server.waitForFinished();
}

QString SelfSignedTlsServer::url(const QString &path) const
{
    return QStringLiteral("https://127.0.0.1:%1%2").arg(m_port).arg(path);
}

bool SelfSignedTlsServer::waitForOutput(const QByteArray &text)
{
    QElapsedTimer timer;
    timer.start();
    while (!m_output.contains(text) && timer.elapsed() < 10000
        && m_server.state() == QProcess::Running) {
        m_server.waitForReadyRead(100);
        m_output += m_server.readAllStandardOutput();
    }
    return m_output.contains(text);
}

} // namespace pondrel
