// SPDX-License-Identifier: GPL-2.0-or-later
#include "support/CSCache.h"

#include "support/oruLog.h"

namespace pondrel {

CSCache &CSCache::sharedCache()
{
    static CSCache instance;
    return instance;
}

void CSCache::cacheData(const QByteArray &data, const QString &key)
{
    ORU_LOG(QStringLiteral("Caching data for key: %1").arg(key));
    const std::lock_guard locker(m_lock);
    m_entries.insert(key, Entry {data, QDateTime::currentDateTimeUtc()});
}

std::optional<QByteArray> CSCache::cachedDataForKey(const QString &key)
{
    ORU_LOG(QStringLiteral("Retrieving cached data for key: %1").arg(key));
    const std::lock_guard locker(m_lock);
    const auto entry = m_entries.find(key);
    if (entry == m_entries.end())
        return std::nullopt;
    entry->lastUse = QDateTime::currentDateTimeUtc();
    return entry->data;
}

void CSCache::removeCachedDataForKey(const QString &key)
{
    ORU_LOG(QStringLiteral("Clearing cached data for key: %1").arg(key));
    const std::lock_guard locker(m_lock);
    m_entries.remove(key);
}

std::optional<QDateTime> CSCache::lastUseForKey(const QString &key) const
{
    const std::lock_guard locker(m_lock);
    const auto entry = m_entries.constFind(key);
    if (entry == m_entries.cend())
        return std::nullopt;
    return entry->lastUse;
}

} // namespace pondrel
