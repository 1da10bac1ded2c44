// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>

#include <mutex>
#include <optional>

namespace pondrel {

// The process-wide in-memory store of picture data while the Publisher loads and rotates
// pictures. No size limit and no eviction: an entry stays until it is removed. The loader's
// threads and the main thread reach it at the same time, so every operation takes the lock.
class CSCache
{
public:
    // The one instance, created on first use and alive until the process ends.
    static CSCache &sharedCache();

    CSCache(const CSCache &) = delete;
    CSCache &operator=(const CSCache &) = delete;

    // Stores data under key, replacing any earlier entry.
    void cacheData(const QByteArray &data, const QString &key);
    // The data stored under key (and marks it used now); none when there is no entry.
    std::optional<QByteArray> cachedDataForKey(const QString &key);
    void removeCachedDataForKey(const QString &key);

    // When the entry was last stored or looked up; none when there is no entry.
    std::optional<QDateTime> lastUseForKey(const QString &key) const;

private:
    CSCache() = default;

    struct Entry
    {
        QByteArray data;
        QDateTime lastUse;
    };

    // A standard mutex rather than QMutex, so that ThreadSanitizer sees the synchronisation.
    mutable std::mutex m_lock;
    QHash<QString, Entry> m_entries;
};

} // namespace pondrel
