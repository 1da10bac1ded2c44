// SPDX-License-Identifier: GPL-2.0-or-later
#include "agent/oruAgentWorker.h"

#include "client/oruNetwork.h"
#include "support/oruLog.h"

#include <QThread>
#include <QTimer>

namespace pondrel {

namespace {
constexpr int kLoginDelayMs = 2000;
}

oruAgentWorker::oruAgentWorker() = default;

oruAgentWorker::~oruAgentWorker() = default;

void oruAgentWorker::requestStop()
{
    m_stopping = true;
    const std::lock_guard lock(m_orunetMutex);
    if (m_orunet)
        m_orunet->setCurlAbort(true);
}

void oruAgentWorker::setUp()
{
    m_delayedVisits = std::make_unique<QObject>();
    {
        const std::lock_guard lock(m_orunetMutex);
        m_orunet = std::make_unique<oruNetwork>();
    }
    m_orunet->setVisitProgressHandler([this](const QString &status) { reportProgress(status); });
    m_orunet->setVisitOutcomeHandler([this](bool succeeded, const QString &status) {
        emit statusChanged(succeeded ? tr("Idle") + u'\n' + status : status);
    });
    if (m_stopping)
        return;
    emit statusChanged(tr("Registering this computer…"));
    m_orunet->makeUserAgent();
    if (m_orunet->registerComputerIfNeeded())
        emit statusChanged(tr("Idle"));
    else
        emit statusChanged(tr("Could not register this computer: %1").arg(m_orunet->errorMsg()));
}

void oruAgentWorker::login(const QVariantMap &userInfo)
{
    if (m_stopping || !m_orunet)
        return;
    m_orunet->takeLoginNotification(userInfo);
    visitAfter(kLoginDelayMs);
}

void oruAgentWorker::visitAfter(int milliseconds)
{
    if (m_stopping || !m_delayedVisits)
        return;
    if (milliseconds <= 0) {
        visitAndProcess();
        return;
    }
    // A coarse timer may fire up to 5 % early; these delays are meant as stated.
    QTimer::singleShot(
        milliseconds, Qt::PreciseTimer, m_delayedVisits.get(), [this] { visitAndProcess(); });
}

void oruAgentWorker::tearDown()
{
    m_delayedVisits.reset();
    {
        const std::lock_guard lock(m_orunetMutex);
        m_orunet.reset();
    }
    thread()->quit();
}

void oruAgentWorker::visitAndProcess()
{
    if (m_stopping || !m_orunet)
        return;
    emit statusChanged(tr("Visiting the service…"));
    m_orunet->visitAndProcess();
}

void oruAgentWorker::reportProgress(const QString &status)
{
    // A stop asked for while the visit was under way: the batch run would otherwise start
    // afresh, since it clears the abort flag when it begins.
    if (m_stopping)
        m_orunet->setCurlAbort(true);
    emit statusChanged(status);
}

} // namespace pondrel
