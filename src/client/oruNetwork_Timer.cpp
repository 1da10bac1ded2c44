// SPDX-License-Identifier: GPL-2.0-or-later
#include "client/oruNetwork.h"

#include "support/oruLog.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTime>

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
    if (!visitTimer()) {
        auto timer = std::make_unique<QTimer>();
        timer->setSingleShot(true);
        // Coarse timers may fire up to 5% early, which would cut the service's interval short.
        timer->setTimerType(Qt::PreciseTimer);
        QObject::connect(
            timer.get(), &QTimer::timeout, visitCycleContext(), [this] { visitAndProcess(); });
        setVisitTimer(std::move(timer));
    }
    // Whole seconds, as the service's interval has always been read.
    visitTimer()->start(std::chrono::seconds(milliseconds / 1000));
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
