// SPDX-License-Identifier: GPL-2.0-or-later
#include "refservice/FailedAttempts.h"

#include <QDateTime>

#include <algorithm>

namespace pondrel::refservice {

namespace {

// Beyond this many keys the oldest quiet ones go at once, whatever their age.
constexpr qsizetype kMostKeys = 100000;
constexpr qint64 kQuietForgottenAfterMs = 60 * 60 * 1000;

} // namespace

qint64 FailedAttempts::waitAfter(int failures)
{
    if (failures < kFreeAttempts)
        return 0;
    return std::min<qint64>(
        qint64(1) << std::min(failures - kFreeAttempts, 20), kLongestWaitSeconds);
}

qint64 FailedAttempts::waitSeconds(const QString &key) const
{
    const std::lock_guard<std::mutex> guard(m_mutex);
    const auto found = m_records.constFind(key);
    if (found == m_records.cend())
        return 0;
    const qint64 readyAtMs = found->lastFailureMs + waitAfter(found->failures) * 1000;
    const qint64 leftMs = readyAtMs - QDateTime::currentMSecsSinceEpoch();
    return leftMs > 0 ? (leftMs + 999) / 1000 : 0;
}

void FailedAttempts::failed(const QString &key)
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const std::lock_guard<std::mutex> guard(m_mutex);
    if (m_records.size() >= kMostKeys && !m_records.contains(key)) {
        m_records.removeIf([now](const auto &entry) {
            return now - entry.value().lastFailureMs > waitAfter(entry.value().failures) * 1000;
        });
    }
    Record &record = m_records[key];
    ++record.failures;
    record.lastFailureMs = now;
}

void FailedAttempts::succeeded(const QString &key)
{
    const std::lock_guard<std::mutex> guard(m_mutex);
    m_records.remove(key);
}

void FailedAttempts::forgetOld()
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const std::lock_guard<std::mutex> guard(m_mutex);
    m_records.removeIf([now](const auto &entry) {
        return now - entry.value().lastFailureMs > kQuietForgottenAfterMs;
    });
}

} // namespace pondrel::refservice
