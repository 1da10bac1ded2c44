// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/common/RefServiceProcess.h"
#include "tests/common/ProgramRun.h"

#include <QElapsedTimer>
#include <QUrl>

namespace pondrel {

namespace {
constexpr int kStartTimeoutMs = 15000;
const QByteArray kListeningPrefix = "listening on ";
const QByteArray kAdminTokenPrefix = "admin token: ";
} // namespace

RefServiceProcess::RefServiceProcess(QStringList extraArguments, RefServiceOptions options)
    : m_extraArguments(std::move(extraArguments))
    , m_options(options)
{
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
}

RefServiceProcess::~RefServiceProcess()
{
    stop();
}

QString RefServiceProcess::programPath()
{
    return ProgramRun::builtProgram(QStringLiteral("pondrel-refservice"));
}

bool RefServiceProcess::start()
{
    if (!m_dataDir.isValid()) {
        m_errorMsg = QStringLiteral("no temporary data folder");
        return false;
    }
    QStringList arguments {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"),
        QStringLiteral("--data"), m_dataDir.path()};
    if (m_options.admin)
        arguments << QStringLiteral("--admin");
    if (m_options.quickPasswords)
        arguments << QStringLiteral("--password-iterations") << QStringLiteral("1000");
    arguments += m_extraArguments;
    m_process.start(programPath(), arguments);
    if (!m_process.waitForStarted(kStartTimeoutMs)) {
        m_errorMsg
            = QStringLiteral("cannot start %1: %2").arg(programPath(), m_process.errorString());
        return false;
    }
    const std::optional<QByteArray> line = readLine();
    if (!line)
        return false;
    if (!line->startsWith(kListeningPrefix)) {
        m_errorMsg = QStringLiteral("unexpected first line: %1").arg(QString::fromUtf8(*line));
        stop();
        return false;
    }
    m_baseUrl = QString::fromUtf8(line->mid(kListeningPrefix.size()));
    m_port = quint16(QUrl(m_baseUrl).port());
    if (m_options.admin) {
        const std::optional<QByteArray> tokenLine = readLine();
        if (!tokenLine || !tokenLine->startsWith(kAdminTokenPrefix)) {
            m_errorMsg = QStringLiteral("no admin token after the listening line");
            stop();
            return false;
        }
        m_adminToken = QString::fromUtf8(tokenLine->mid(kAdminTokenPrefix.size()));
    }
    return true;
}

std::optional<QByteArray> RefServiceProcess::readLine()
{
    QElapsedTimer timer;
    timer.start();
    while (!m_process.canReadLine()) {
        if (m_process.state() != QProcess::Running || timer.elapsed() > kStartTimeoutMs
            || !m_process.waitForReadyRead(int(kStartTimeoutMs - timer.elapsed()))) {
            if (m_process.canReadLine())
                break;
            m_errorMsg
                = QStringLiteral("the service did not report its address: %1").arg(standardError());
            stop();
            return std::nullopt;
        }
    }
    return m_process.readLine().trimmed();
}

bool RefServiceProcess::restart()
{
    stop();
    return start();
}

void RefServiceProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(10000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    m_stderr += m_process.readAllStandardError();
}

QString RefServiceProcess::standardError()
{
    m_stderr += m_process.readAllStandardError();
    return QString::fromUtf8(m_stderr);
}

} // namespace pondrel
