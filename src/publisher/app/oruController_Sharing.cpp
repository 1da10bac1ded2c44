// SPDX-License-Identifier: GPL-2.0-or-later
// Sharing the first selected album by e-mail invitation or web address, and carrying the
// dialog's final list over to the album's record and badge when it is accepted.
#include "publisher/app/oruController.h"

#include "publisher/app/oruMainWindow.h"
#include "publisher/app/oruSharingServiceCalls.h"
#include "publisher/dialogs/SharingDialogSupport.h"
#include "publisher/dialogs/oruAlertPresenter.h"
#include "publisher/dialogs/oruManageSharingController.h"
#include "publisher/dialogs/oruManageWebAddressController.h"
#include "support/Values.h"
#include "support/oruLog.h"

namespace pondrel {

namespace {

const QString kUniqueIdentifierKey = QStringLiteral("UniqueIdentifier");
const QString kExportLinksKey = QStringLiteral("FolderAssetExportLinks");
const QString kExportLinkElement = QStringLiteral("FolderAssetExportLink");
const QString kSymbolicLinksKey = QStringLiteral("FolderAssetSymbolicLinks");
const QString kSymbolicLinkElement = QStringLiteral("FolderAssetSymbolicLink");

} // namespace

std::optional<oruItem> oruController::firstSelectedSharableAlbum() const
{
    if (!m_signedOn)
        return std::nullopt;
    const std::optional<oruItem> item = firstSelectedItem();
    // A draft album is not on the service yet: there is nothing to share.
    if (!item || !item->isFolder() || item->isDraft())
        return std::nullopt;
    return item;
}

void oruController::manageSharing()
{
    const std::optional<oruItem> album = firstSelectedSharableAlbum();
    if (!album)
        return;
    oruSharingServiceCalls calls(*m_service, *m_orunet);
    oruManageSharingController dialog(
        *album, calls, &window(), [this](QDialog &sheet) { return m_alerts->runDialog(sheet); });
    if (m_alerts->runDialog(dialog) != QDialog::Accepted)
        return;
    const QVariantList links = dialog.exportedLinks();
    ORU_LOG(QStringLiteral("exportLinks: %1").arg(SharingDialogSupport::describe(links)));
    storeAlbumLinks(album->uniqueID(), kExportLinksKey, kExportLinkElement, links);
    for (oruItem *item : itemsWithIdentifier(album->uniqueID()))
        item->setIsShared(!links.isEmpty());
    allPictureViewsSetNeedsDisplay();
}

void oruController::manageWebSharing()
{
    const std::optional<oruItem> album = firstSelectedSharableAlbum();
    if (!album)
        return;
    const QVariantMap record = assetFromUniqueID(album->uniqueID()).value_or(QVariantMap());
    const QVariant recordLinks
        = record.value(kSymbolicLinksKey).toMap().value(kSymbolicLinkElement);
    ORU_LOG(QStringLiteral("Links: %1").arg(SharingDialogSupport::describe(recordLinks)));
    oruSharingServiceCalls calls(*m_service, *m_orunet);
    oruManageWebAddressController dialog(*album, Values::asList(recordLinks), calls, &window(),
        [this](QDialog &sheet) { return m_alerts->runDialog(sheet); });
    if (m_alerts->runDialog(dialog) != QDialog::Accepted)
        return;
    const QVariantList links = dialog.exportedLinks();
    ORU_LOG(QStringLiteral("exportedLinks: %1").arg(SharingDialogSupport::describe(links)));
    storeAlbumLinks(album->uniqueID(), kSymbolicLinksKey, kSymbolicLinkElement, links);
    for (oruItem *item : itemsWithIdentifier(album->uniqueID()))
        item->setHasWebAddresses(!links.isEmpty());
    allPictureViewsSetNeedsDisplay();
}

void oruController::storeAlbumLinks(
    const QString &albumId, const QString &key, const QString &element, const QVariantList &links)
{
    for (QVariant &asset : m_assetsList) {
        QVariantMap record = asset.toMap();
        if (record.value(kUniqueIdentifierKey).toString() != albumId)
            continue;
        if (links.isEmpty())
            record.remove(key);
        else
            record.insert(key, QVariantMap {{element, links}});
        asset = record;
    }
}

QList<oruItem *> oruController::itemsWithIdentifier(const QString &identifier)
{
    // Looked up again after the dialog: a listing may have replaced the items meanwhile.
    QList<oruItem *> found;
    for (QList<oruItem> &items : m_pictureViewArrays) {
        for (oruItem &item : items) {
            if (item.uniqueID() == identifier)
                found.append(&item);
        }
    }
    return found;
}

} // namespace pondrel
