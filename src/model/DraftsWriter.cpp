// SPDX-License-Identifier: GPL-2.0-or-later
#include "model/DraftsWriter.h"

#include "model/DraftsFile.h"
#include "support/oruLog.h"

namespace pondrel {

DraftsWriter::DraftsWriter()
{
    m_thread.setMaxThreadCount(1);
}

DraftsWriter::~DraftsWriter()
{
    flush();
}

void DraftsWriter::schedule(const QVariantMap &store, const QString &account, bool committing)
{
    const std::lock_guard lock(m_mutex);
    const bool writerIdle = !m_pending && !m_writing;
    m_pending = Snapshot {store, account, committing};
    if (writerIdle) {
        m_writing = true;
        m_thread.start([this] { writePending(); });
    }
}

void DraftsWriter::writePending()
{
    for (;;) {
        Snapshot snapshot;
        {
            const std::lock_guard lock(m_mutex);
            if (!m_pending) {
                m_writing = false;
                return;
            }
            snapshot = std::move(*m_pending);
            m_pending.reset();
        }
        if (!DraftsFile::save(snapshot.store, snapshot.account, snapshot.committing))
            oruLog::platformLog(
                QStringLiteral("Drafts could not be written to %1").arg(DraftsFile::path()));
    }
}

void DraftsWriter::flush()
{
    m_thread.waitForDone();
}

} // namespace pondrel
