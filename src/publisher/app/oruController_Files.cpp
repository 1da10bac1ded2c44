// SPDX-License-Identifier: GPL-2.0-or-later
// Drafts from the user: new albums, pictures and folders picked or handed over, and the
// commit that sends them to the service.
#include "publisher/app/oruController.h"

#include "model/AcceptedPictureFiles.h"
#include "publisher/app/oruMainWindow.h"
#include "publisher/dialogs/oruAlertPresenter.h"
#include "publisher/dialogs/oruFolderInfoController.h"
#include "publisher/dialogs/oruOpenPanel.h"
#include "support/oruLog.h"

namespace pondrel {

namespace {

QString typeFilter()
{
    QStringList patterns;
    for (const QString &type : AcceptedPictureFiles::acceptedTypes()) {
        if (!type.startsWith(QLatin1Char('\'')))
            patterns.append(QStringLiteral("*.") + type);
    }
    return QObject::tr("Pictures (%1)").arg(patterns.join(QLatin1Char(' ')));
}

} // namespace

void oruController::newAlbum()
{
    oruFolderInfoController dialog(oruItem::initWithEmptyAlbum(), true, &window(),
        [this](const QString &title, const QString &text) {
            m_alerts->alert(oruAlertRequest::Kind::Warning, title, text);
        });
    dialog.setObjectName(QStringLiteral("FolderInfo"));
    if (m_alerts->runDialog(dialog) != QDialog::Accepted)
        return;
    m_drafts->addDraft(dialog.item().asset());
}

void oruController::importPicture()
{
    ORU_LOG(QStringLiteral("MARK"));
    oruOpenPanel panel(m_currentAlbum.isRoot(), typeFilter(), &window());
    if (m_alerts->runDialog(panel) != QDialog::Accepted)
        return;
    startImportingWithFiles(panel.selectedFiles());
}

void oruController::startImportingWithFiles(const QStringList &paths)
{
    ORU_LOG(QStringLiteral("MARK"));
    m_drafts->importFiles(paths, quint32(m_currentPermissions));
    updateCommandStates();
}

void oruController::commitDraftsToServer()
{
    if (m_signedOn && m_drafts->commit(*m_orunet))
        updateCommandStates();
}

QString oruController::toolTipAtIndex(MUPhotoView *view, quint32 index)
{
    const oruItem *item = itemAt(view, index);
    if (!item || !item->isDraft())
        return {};
    return m_drafts->store()
        .record(item->uniqueID())
        .value_or(QVariantMap())
        .value(DraftStore::kCommitErrorKey)
        .toString();
}

void oruController::draftsCommitted()
{
    m_albumHeap.removeAllObjects();
    m_parentHeap.removeAllObjects();
    m_assetsHeap.removeAllObjects();
    setCurrentAlbum(oruItem());
    refresh();
    sendVisitNotification();
    updateCommandStates();
}

} // namespace pondrel
