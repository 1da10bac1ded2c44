// SPDX-License-Identifier: GPL-2.0-or-later
#include "publisher/drafts/DraftsWorkflow.h"

#include "model/DraftsFile.h"
#include "publisher/dialogs/oruProgressSheet.h"
#include "support/oruLog.h"

#include <QFileInfo>
#include <QTimer>

namespace pondrel {

namespace {

// So many problem lines fit an alert; the rest are counted.
constexpr qsizetype kProblemsShown = 10;

QString problemList(const QStringList &problems)
{
    QStringList shown = problems.mid(0, kProblemsShown);
    if (problems.size() > kProblemsShown)
        shown.append(QObject::tr("…and %1 more.").arg(problems.size() - kProblemsShown));
    return shown.join(QLatin1Char('\n'));
}

// A draft that failed to go may have reached the service all the same (its answer lost on the
// way), so sending it again must not make a second copy.
bool holdsRefusedDrafts(const DraftStore &store)
{
    for (const QString &albumId : store.albumIds()) {
        for (const QVariant &record : store.records(albumId)) {
            if (record.toMap().contains(DraftStore::kCommitErrorKey))
                return true;
        }
    }
    return false;
}

} // namespace

DraftsWorkflow::DraftsWorkflow(QWidget *window, Ask ask, CurrentAlbum currentAlbum, QObject *parent)
    : QObject(parent)
    , m_ask(std::move(ask))
    , m_currentAlbum(std::move(currentAlbum))
    , m_sheet(new oruProgressSheet(window))
{ }

DraftsWorkflow::~DraftsWorkflow()
{
    // Workers report to these objects: they end (waiting for their workers) before the store.
    m_import.reset();
    m_commit.reset();
    m_writer.flush();
    delete m_sheet.data();
}

bool DraftsWorkflow::isBusy() const
{
    return (m_import && m_import->isRunning()) || (m_commit && m_commit->isRunning());
}

void DraftsWorkflow::setAccount(const QString &account)
{
    if (account == m_account)
        return;
    m_account = account;
    if (account.isEmpty() && !m_store.isEmpty()) {
        m_store = DraftStore();
        emit draftsChanged();
    }
}

bool DraftsWorkflow::offerRestore(const QString &account, oruNetwork &network)
{
    setAccount(account);
    const std::optional<DraftsFile::Contents> saved = DraftsFile::load();
    if (!saved || saved->account != account || saved->store.isEmpty() || !m_store.isEmpty())
        return false;
    const int count = saved->store.numberOfDraftItems();
    const QString restore = tr("Restore");
    const QString answer = m_ask(
        count == 1 ? tr("Restore 1 unsent draft?") : tr("Restore %1 unsent drafts?").arg(count),
        saved->committing ? tr("The Publisher ended while these drafts were being uploaded. "
                               "Restored, their upload goes on.")
                          : tr("These drafts were not uploaded when the Publisher last ended."),
        {restore, tr("Discard")});
    if (answer != restore) {
        save();
        return false;
    }
    m_store = saved->store;
    emit draftsChanged();
    if (saved->committing)
        commit(network, true);
    return true;
}

void DraftsWorkflow::openFile(const QString &path, quint32 permissions)
{
    ORU_LOG(QStringLiteral("MARK"));
    m_permissionsToImport = permissions;
    if (m_filesToImport.isEmpty())
        QTimer::singleShot(0, this, &DraftsWorkflow::startCollectedImport);
    if (QFileInfo(path).isDir() || !m_currentAlbum().isEmpty())
        m_filesToImport.append(path);
}

void DraftsWorkflow::startCollectedImport()
{
    const QStringList paths = std::exchange(m_filesToImport, {});
    if (!paths.isEmpty())
        importFiles(paths, m_permissionsToImport);
}

void DraftsWorkflow::importFiles(const QStringList &paths, quint32 permissions)
{
    if (isBusy()) {
        m_ask(tr("Please wait."),
            tr("The files can be added once the pictures being imported or uploaded are done."),
            {tr("OK")});
        return;
    }
    ORU_LOG(QStringLiteral("URLs: %1").arg(paths.join(QStringLiteral(", "))));
    m_import = std::make_unique<DraftImport>(m_store);
    connect(m_import.get(), &DraftImport::planned, this, [this](int count) {
        if (count == 0)
            return;
        emit statusShown(tr("Inserting files..."));
        m_sheet->begin(
            tr("Importing Pictures"), tr("Importing %1 pictures...").arg(count), count, true);
    });
    connect(m_import.get(), &DraftImport::progressed, this, [this](int done, int count) {
        m_sheet->setValue(done);
        m_sheet->setText(tr("Importing picture %1 of %2").arg(done).arg(count));
    });
    connect(m_sheet, &oruProgressSheet::stopRequested, m_import.get(), &DraftImport::stop);
    connect(m_import.get(), &DraftImport::finished, this, &DraftsWorkflow::importDone);
    m_import->start({paths, m_currentAlbum(), permissions});
    emit busyChanged();
}

void DraftsWorkflow::importDone(const DraftImport::Summary &summary)
{
    m_sheet->end();
    disconnect(m_sheet, &oruProgressSheet::stopRequested, nullptr, nullptr);
    emit statusHidden();
    emit busyChanged();
    if (summary.picturesAdded + summary.albumsAdded > 0) {
        save();
        emit draftsChanged();
    }
    if (!summary.problems.isEmpty())
        m_ask(tr("Some files could not be imported."), problemList(summary.problems), {tr("OK")});
    emit importFinished(summary);
}

void DraftsWorkflow::addDraft(const QVariantMap &record)
{
    m_store.append(m_currentAlbum(), record);
    save();
    emit draftsChanged();
}

int DraftsWorkflow::removeDrafts(const QStringList &draftIds)
{
    int removed = 0;
    for (const QString &identifier : draftIds)
        removed += m_store.remove(identifier);
    if (removed > 0) {
        save();
        emit draftsChanged();
    }
    return removed;
}

bool DraftsWorkflow::updateDraft(const QString &draftId, const QVariantMap &changes)
{
    if (!m_store.updateRecord(draftId, changes))
        return false;
    save();
    return true;
}

bool DraftsWorkflow::commit(const oruNetwork &network, bool resumed)
{
    if (isBusy() || m_store.isEmpty())
        return false;
    m_commit = std::make_unique<DraftCommit>(m_store, DraftCommit::clientsLike(network));
    m_commit->setWaitUntilSaved([this] { m_writer.flush(); });
    connect(m_commit.get(), &DraftCommit::started, this, [this](int count) {
        emit statusShown(tr("Uploading albums..."));
        m_sheet->begin(tr("Uploading items"), tr("Uploading %1 items...").arg(count), count, false);
    });
    connect(m_commit.get(), &DraftCommit::progressed, this, [this](int done, int count) {
        m_sheet->setValue(done);
        m_sheet->setText(tr("Uploading item %1 of %2").arg(done).arg(count));
    });
    connect(m_commit.get(), &DraftCommit::picturesStarted, this,
        [this] { emit statusShown(tr("Uploading pictures...")); });
    connect(m_commit.get(), &DraftCommit::draftsChanged, this,
        [this] { save(m_commit && m_commit->isRunning()); });
    connect(m_commit.get(), &DraftCommit::finished, this, &DraftsWorkflow::commitDone);
    const bool started = m_commit->start(resumed || holdsRefusedDrafts(m_store));
    emit busyChanged();
    return started;
}

void DraftsWorkflow::commitDone(const DraftCommit::Summary &summary)
{
    m_sheet->end();
    emit statusHidden();
    emit busyChanged();
    save();
    emit draftsChanged();
    if (summary.notSent > 0)
        m_ask(summary.notSent == 1 ? tr("1 item could not be uploaded.")
                                   : tr("%1 items could not be uploaded.").arg(summary.notSent),
            tr("They stay in the drafts, marked, and are sent again with the next upload.\n\n%1")
                .arg(problemList(summary.problems)),
            {tr("OK")});
    emit commitFinished(summary);
}

void DraftsWorkflow::save(bool committing)
{
    if (m_account.isEmpty())
        return;
    m_writer.schedule(m_store.toVariantMap(), m_account, committing);
}

} // namespace pondrel
