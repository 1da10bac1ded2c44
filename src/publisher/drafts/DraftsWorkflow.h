// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "client/oruNetwork.h"
#include "model/DraftCommit.h"
#include "model/DraftImport.h"
#include "model/DraftStore.h"
#include "model/DraftsWriter.h"
#include "publisher/dialogs/oruProgressSheet.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <memory>

namespace pondrel {

// The Publisher's drafts as the user works with them: files handed over (dropped on the window
// or a grid, opened through the bus or named on the command line) collected into one import,
// the import and the commit with their progress sheet, and the drafts file kept up to date
// after every change, so that a crash or a kill loses no work. The controller owns one and
// asks it; it reports back through signals and the ask function.
class DraftsWorkflow : public QObject
{
    Q_OBJECT

public:
    // Shows an alert and returns the text of the button pressed (the first is the default).
    using Ask = std::function<QString(
        const QString &title, const QString &message, const QStringList &buttons)>;
    // The identifier of the album shown ("" at the top level) and the permissions new draft
    // pictures start from.
    using CurrentAlbum = std::function<QString()>;

    DraftsWorkflow(QWidget *window, Ask ask, CurrentAlbum currentAlbum, QObject *parent = nullptr);
    ~DraftsWorkflow() override;

    DraftStore &store() { return m_store; }
    const DraftStore &store() const { return m_store; }
    bool isBusy() const;

    // The signed-on account the drafts belong to; the empty text when signed off (the drafts
    // are then dropped, the file kept for the account's return).
    void setAccount(const QString &account);
    // At sign-on: when the drafts file holds drafts of this account, asks "Restore N unsent
    // drafts?"; accepted, they come back (and a commit they were part of goes on). True when
    // drafts were restored.
    bool offerRestore(const QString &account, oruNetwork &network);

    // A path handed over; all paths handed over in one go make one import, which starts once
    // control returns to the event loop. At the top level only folders are taken. New draft
    // pictures start from permissions, those of the album shown.
    void openFile(const QString &path, quint32 permissions = 0);
    void importFiles(const QStringList &paths, quint32 permissions = 0);
    // A new draft record in the current album (a new album from the album dialog).
    void addDraft(const QVariantMap &record);
    // Takes drafts (and what lies beneath draft albums) out; returns how many records went.
    int removeDrafts(const QStringList &draftIds);
    bool updateDraft(const QString &draftId, const QVariantMap &changes);
    // Sends every draft with clients on network's session.
    bool commit(const oruNetwork &network, bool resumed = false);

    // Waits until the drafts file says what the store holds.
    void flush() { m_writer.flush(); }
    const QStringList &filesToImport() const { return m_filesToImport; }
    oruProgressSheet &progressSheet() const { return *m_sheet; }

signals:
    void draftsChanged();
    // An import or a commit started or ended (isBusy() changed).
    void busyChanged();
    void importFinished(const pondrel::DraftImport::Summary &summary);
    void commitFinished(const pondrel::DraftCommit::Summary &summary);
    // The status line while an import or a commit runs.
    void statusShown(const QString &text);
    void statusHidden();

private:
    void startCollectedImport();
    void save(bool committing = false);
    void importDone(const DraftImport::Summary &summary);
    void commitDone(const DraftCommit::Summary &summary);

    Ask m_ask;
    CurrentAlbum m_currentAlbum;
    QString m_account;
    DraftStore m_store;
    DraftsWriter m_writer;
    QPointer<oruProgressSheet> m_sheet;
    std::unique_ptr<DraftImport> m_import;
    std::unique_ptr<DraftCommit> m_commit;
    QStringList m_filesToImport;
    quint32 m_permissionsToImport = 0;
};

} // namespace pondrel
