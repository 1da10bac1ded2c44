// SPDX-License-Identifier: GPL-2.0-or-later
// The info command: the album and picture dialogs, and carrying their changes over to the
// item, its record, the drafts and, for items on the service, the service.
#include "publisher/app/oruController.h"

#include "publisher/app/oruMainWindow.h"
#include "publisher/app/oruServiceThread.h"
#include "publisher/dialogs/oruAlertPresenter.h"
#include "publisher/dialogs/oruFolderInfoController.h"
#include "publisher/dialogs/oruPictureInfoController.h"
#include "support/oruLog.h"

namespace pondrel {

namespace {

const QString kUniqueIdentifierKey = QStringLiteral("UniqueIdentifier");

} // namespace

void oruController::getInfo()
{
    const quint32 tag = tagViewOfFirstSelectedItem();
    if (tag == kMissingTag)
        return;
    QList<oruItem> &items = pictureViewArrayForTag(tag);
    const quint32 index = pictureViewIndexForTag(tag).firstIndex();
    if (index >= quint32(items.size()))
        return;
    if (items[index].isFolder())
        showAlbumInfoForItem(items[index]);
    else
        showPictureInfoForItem(items[index]);
}

void oruController::showAlbumInfoForItem(oruItem &item)
{
    oruFolderInfoController dialog(item, false, &window(),
        [this](const QString &title, const QString &text) {
            m_alerts->alert(oruAlertRequest::Kind::Warning, title, text);
        });
    dialog.setObjectName(QStringLiteral("FolderInfo"));
    if (m_alerts->runDialog(dialog) != QDialog::Accepted)
        return;
    QVariantMap record = assetFromUniqueID(item.uniqueID()).value_or(QVariantMap());
    runOnService(ItemEdits::applyAlbumChanges(item, record, dialog.item()));
    for (QVariant &asset : m_assetsList) {
        if (asset.toMap().value(kUniqueIdentifierKey).toString() == item.uniqueID())
            asset = record;
    }
    if (item.isDraft())
        m_drafts->updateDraft(item.uniqueID(), record);
    allPictureViewsSetNeedsDisplay();
}

void oruController::showPictureInfoForItem(oruItem &item)
{
    oruPictureInfoController dialog(item, &window(),
        [this](const QString &title, const QString &text) {
            m_alerts->alert(oruAlertRequest::Kind::Warning, title, text);
        });
    dialog.setObjectName(QStringLiteral("PictureInfo"));
    if (m_alerts->runDialog(dialog) != QDialog::Accepted)
        return;
    QVariantMap record = assetFromUniqueID(item.uniqueID()).value_or(QVariantMap());
    runOnService(ItemEdits::applyPictureChanges(item, record, dialog.item()));
    for (QVariant &asset : m_assetsList) {
        if (asset.toMap().value(kUniqueIdentifierKey).toString() == item.uniqueID())
            asset = record;
    }
    if (item.isDraft())
        m_drafts->updateDraft(item.uniqueID(), record);
}

void oruController::runOnService(std::vector<ItemEdits::ServiceCall> calls)
{
    for (ItemEdits::ServiceCall &call : calls) {
        // The client reports a refusal itself, in its alert.
        m_service->run<bool>([net = m_orunet.get(), run = std::move(call.run)] { return run(*net); },
            [operation = call.operation](bool done) {
                if (!done)
                    ORU_LOG(QStringLiteral("%1 failed").arg(operation));
            });
    }
}

} // namespace pondrel
