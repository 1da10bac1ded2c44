// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QHash>
#include <QString>

#include <mutex>

namespace pondrel::refservice {

// Failed password attempts per key ("account:<e-mail address>", "gallery:<link>"). A few in a
// row are free; after that each further attempt must wait longer, one second doubling up to a
// quarter of an hour, so guessing online is slow while a user's typo costs nothing. A success
// forgets the key. Shared by every connection thread.
class FailedAttempts
{
public:
    static constexpr int kFreeAttempts = 5;
    static constexpr qint64 kLongestWaitSeconds = 15 * 60;

    static QString accountKey(const QString &email)
    {
        return "account:" + email.trimmed().toLower();
    }
    static QString galleryKey(const QString &linkId) { return "gallery:" + linkId; }

    // Seconds before a password of the key may be tried again; 0 when it may now.
    qint64 waitSeconds(const QString &key) const;
    void failed(const QString &key);
    void succeeded(const QString &key);
    // Drops the keys whose last failure is long past, so guessed names do not pile up.
    void forgetOld();

private:
    struct Record
    {
        int failures = 0;
        qint64 lastFailureMs = 0;
    };
    static qint64 waitAfter(int failures);

    mutable std::mutex m_mutex;
    QHash<QString, Record> m_records;
};

} // namespace pondrel::refservice
