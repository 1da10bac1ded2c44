// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QString>
#include <QThreadPool>
#include <QVariantMap>

#include <mutex>
#include <optional>

namespace pondrel {

// Writes snapshots of the drafts to the drafts file off the GUI thread, one write at a time and
// in order. A snapshot scheduled while another waits replaces it: only the newest matters.
class DraftsWriter
{
public:
    DraftsWriter();
    ~DraftsWriter();

    void schedule(const QVariantMap &store, const QString &account, bool committing);
    // Waits until the newest snapshot is on disk.
    void flush();

private:
    struct Snapshot
    {
        QVariantMap store;
        QString account;
        bool committing = false;
    };

    void writePending();

    QThreadPool m_thread;
    std::mutex m_mutex;
    std::optional<Snapshot> m_pending;
    bool m_writing = false;
};

} // namespace pondrel
