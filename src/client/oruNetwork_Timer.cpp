// SPDX-License-Identifier: GPL-2.0-or-later
#include "client/oruNetwork.h"

#include "support/oruLog.h"

#include <QCoreApplication>
#include <QLocale>
#include <QRandomGenerator>
#include <QTime>

#include <algorithm>
#include <chrono>

namespace pondrel {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("oruNetwork", text);
}

} // namespace

void oruNetwork::scheduleNextVisit(qint32 milliseconds)
{
    ORU_LOG(QStringLiteral("scheduleNextVisit: %1").arg(milliseconds));
    if (milliseconds <= kMinimumVisitIntervalMs)
        return;
    // Whole seconds, as the service's interval has always been read.
    startVisitTimer(std::chrono::seconds(milliseconds / 1000));
}

void oruNetwork::startVisitTimer(std::chrono::milliseconds delay)
{
    if (!visitTimer()) {
        auto timer = std::make_unique<QTimer>();
        timer->setSingleShot(true);
        // Coarse timers may fire up to 5% early, which would cut the interval short.
        timer->setTimerType(Qt::PreciseTimer);
        QObject::connect(
            timer.get(), &QTimer::timeout, visitCycleContext(), [this] { visitAndProcess(); });
        setVisitTimer(std::move(timer));
    }
    visitTimer()->start(delay);
}

void oruNetwork::scheduleRetryVisit()
{
    ++m_failedVisits;
    const int doublings = std::min(m_failedVisits - 1, 16);
    const qint64 nominal
        = std::min<qint64>(qint64(kFirstRetryDelayMs) << doublings, kLongestRetryDelayMs);
    const qint64 delay = nominal - QRandomGenerator::global()->bounded(nominal / 5 + 1);
    ORU_LOG(QStringLiteral("visit %1 failed in a row, next try in %2 ms")
                .arg(m_failedVisits)
                .arg(delay));
    startVisitTimer(std::chrono::milliseconds(delay));
}

bool oruNetwork::visitPending() const
{
    return visitTimer() && visitTimer()->isActive();
}

void oruNetwork::stopVisitCycle()
{
    setVisitTimer(nullptr);
    // Pending follow-ups are bound to the context and go with it. It may be the very object
    // whose queued call runs this, so it is deleted once that call has returned.
    auto stopped = std::make_unique<QObject>();
    std::swap(stopped, m_visitCycleContext);
    stopped.release()->deleteLater();
}

void oruNetwork::visitAndProcess()
{
    ORU_LOG(QStringLiteral("MARK"));
    const bool visited = visit();
    const QString now = QLocale().toString(QTime::currentTime(), QLocale::ShortFormat);
    if (commandBatchEmpty()) {
        // Left alone, an Agent that runs unattended would never visit again.
        if (!visited)
            scheduleRetryVisit();
        if (m_visitOutcome) {
            m_visitOutcome(visited,
                visited ? tr("Last visit at %1").arg(now)
                        : tr("Last visit failed: %1").arg(messageForAlert(m_errorMsg)));
        }
        return;
    }
    processCommandBatch();
    // A delayed call of its own, not the visit timer: a new visit does not cancel it.
    QTimer::singleShot(std::chrono::milliseconds(kFollowUpVisitDelayMs), Qt::PreciseTimer,
        visitCycleContext(), [this] { visitAndProcess(); });
    if (m_visitOutcome) {
        if (m_curlAbort)
            m_visitOutcome(false,
                tr("Last visit at %1: an upload got no answer; the work is tried again").arg(now));
        else
            m_visitOutcome(true, tr("Last visit at %1: pictures rendered and sent").arg(now));
    }
}

void oruNetwork::takeLoginNotification(const QVariantMap &userInfo)
{
    const QString address = userInfo.value(QStringLiteral("LastLogin")).toString();
    setEmailAddress(address.isNull() ? QStringLiteral("") : address);
}

void oruNetwork::setVisitProgressHandler(VisitProgressHandler handler)
{
    m_visitProgress = std::move(handler);
}

void oruNetwork::setVisitOutcomeHandler(VisitOutcomeHandler handler)
{
    m_visitOutcome = std::move(handler);
}

void oruNetwork::reportVisitProgress(const QString &text) const
{
    if (m_visitProgress)
        m_visitProgress(text);
}

} // namespace pondrel
