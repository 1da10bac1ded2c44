// SPDX-License-Identifier: GPL-2.0-or-later
// Removal of the selected albums and pictures, and rotation of a picture.
#include "publisher/app/oruController.h"

#include "imaging/PictureTransforms.h"
#include "client/oruUtils.h"
#include "publisher/app/oruMainWindow.h"
#include "publisher/app/oruServiceThread.h"
#include "publisher/dialogs/oruAlertPresenter.h"
#include "publisher/preview/ORPhotoView.h"
#include "support/CSCache.h"
#include "support/oruLog.h"
#include "ui_MainWindow.h"

#include <QBuffer>
#include <QSet>

namespace pondrel {

namespace {

struct ServiceRemoval
{
    QString identifier;
    QString name;
    bool isFolder = false;
    bool isImported = false;
};

QByteArray pngBytes(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// The menu's rotation turns the first selected picture; an album has nothing to turn.
void rotateFirstSelectedPicture(oruController &controller, bool left)
{
    const quint32 tag = controller.tagViewOfFirstSelectedItem();
    if (tag == oruController::kMissingTag)
        return;
    QList<oruItem> &items = controller.pictureViewArrayForTag(tag);
    const quint32 index = controller.pictureViewIndexForTag(tag).firstIndex();
    if (index < quint32(items.size()) && !items[index].isFolder())
        controller.rotateItem(items[index], left);
}

} // namespace

void oruController::getNumberOfSelectedAlbumsAndPictures(int &albums, int &pictures) const
{
    albums = pictures = 0;
    for (int section = 0; section < kSectionCount; ++section) {
        const QList<oruItem> &items = m_pictureViewArrays[section];
        const IndexSet &selected = m_pictureViewIndexes[section];
        for (quint32 index = selected.firstIndex(); index != IndexSet::notFound;
             index = selected.indexGreaterThan(index)) {
            if (index < quint32(items.size()))
                ++(items.at(index).isFolder() ? albums : pictures);
        }
    }
}

void oruController::removeItem()
{
    int albums = 0, pictures = 0;
    getNumberOfSelectedAlbumsAndPictures(albums, pictures);
    ORU_LOG(QStringLiteral("%1 folders and %2 pictures selected").arg(albums).arg(pictures));
    if (albums + pictures == 0 || m_drafts->isBusy())
        return;
    const QString ok = tr("OK");
    if (m_alerts->alert(oruAlertRequest::Kind::Informational,
            ItemEdits::removalQuestion(albums, pictures), tr("This operation cannot be undone."),
            {ok, tr("Cancel")})
        != ok)
        return;

    QStringList draftIds;
    std::vector<ServiceRemoval> removals;
    for (int section = 0; section < kSectionCount; ++section) {
        const IndexSet &selected = m_pictureViewIndexes[section];
        for (quint32 index = selected.firstIndex(); index != IndexSet::notFound;
             index = selected.indexGreaterThan(index)) {
            if (index >= quint32(m_pictureViewArrays[section].size()))
                continue;
            const oruItem &item = m_pictureViewArrays[section].at(index);
            ORU_LOG(
                QStringLiteral("Will delete %1 of type %2")
                    .arg(item.name(),
                        item.isFolder() ? QStringLiteral("folder") : QStringLiteral("picture")));
            if (item.isDraft())
                draftIds.append(item.uniqueID());
            else
                removals.push_back(
                    {item.uniqueID(), item.name(), item.isFolder(), item.isImported()});
        }
    }
    resetAllSelectionIndexes();
    // The drafts go at once, with everything beneath a draft album.
    m_drafts->removeDrafts(draftIds);
    if (removals.empty())
        return;

    const int total = int(removals.size());
    oruProgressSheet &sheet = m_drafts->progressSheet();
    showStatus(tr("Removing..."));
    sheet.begin(tr("Removing items"), tr("Deleting %1 items...").arg(total), total, false);
    auto failures = std::make_shared<QStringList>();
    auto removed = std::make_shared<QSet<QString>>();
    for (int position = 0; position < total; ++position) {
        const ServiceRemoval removal = removals[std::size_t(position)];
        m_service->run<QString>(
            [net = m_orunet.get(), removal] {
                const bool done = removal.isImported ? net->detachImportedAsset(removal.identifier)
                    : removal.isFolder               ? net->destroyFolderAsset(removal.identifier)
                                                     : net->destroyPictureAsset(removal.identifier);
                return done ? QString() : oruNetwork::messageForAlert(net->errorMsg());
            },
            [this, removal, position, total, failures, removed](const QString &error) {
                m_drafts->progressSheet().setValue(position + 1);
                m_drafts->progressSheet().setText(
                    tr("Deleting item %1 of %2").arg(position + 1).arg(total));
                if (error.isEmpty())
                    removed->insert(removal.identifier);
                else
                    failures->append(tr("%1: %2").arg(removal.name, error));
                if (position + 1 < total)
                    return;
                ORU_LOG(QStringLiteral("Removing assets from assetsList"));
                m_assetsList.removeIf([&removed](const QVariant &record) {
                    return removed->contains(
                        record.toMap().value(QStringLiteral("UniqueIdentifier")).toString());
                });
                hideStatus();
                rebuildPictureViewArray();
                m_drafts->progressSheet().end();
                fetchThumbnails();
                if (!failures->isEmpty())
                    m_alerts->alert(oruAlertRequest::Kind::Warning,
                        failures->size() == 1
                            ? tr("1 item could not be deleted.")
                            : tr("%1 items could not be deleted.").arg(failures->size()),
                        failures->join(QLatin1Char('\n')));
            });
    }
}

// While a picture is shown in full, the menu turns that one, so that the view and the grids
// never disagree about its orientation.
void oruController::rotateLeft()
{
    if (window().ui().oruTabView->currentWidget() == window().ui().picturePage)
        rotateShownPicture(true);
    else
        rotateFirstSelectedPicture(*this, true);
}

void oruController::rotateRight()
{
    if (window().ui().oruTabView->currentWidget() == window().ui().picturePage)
        rotateShownPicture(false);
    else
        rotateFirstSelectedPicture(*this, false);
}

void oruController::rotateShownPicture(bool left)
{
    oruItem shown = m_photoView->item();
    if (shown.uniqueID().isEmpty() || !shown.previewPic() || shown.previewPic()->isNull())
        return;
    rotateItem(shown, left);
    m_photoView->setItem(shown);
    // The grids list a copy of the picture of their own; a preview asked for later is turned by
    // the copy's orientation.
    for (QList<oruItem> &items : m_pictureViewArrays) {
        for (oruItem &item : items) {
            if (item.isFolder() || item.uniqueID() != shown.uniqueID())
                continue;
            item.setOrientation(shown.orientation());
            if (shown.thumbnailPic())
                item.setThumbnailPic(*shown.thumbnailPic());
        }
    }
    allPictureViewsSetNeedsDisplay();
}

void oruController::rotateItem(oruItem &item, bool left)
{
    const int quarterTurn = left ? 8 : 6;
    if (item.previewPic() && !item.previewPic()->isNull()) {
        if (const std::optional<Picture> turned
            = rotateAccordingToExifOrientation(Picture(*item.previewPic()), quarterTurn))
            item.setPreviewPic(turned->bitmap());
    }
    item.setOrientation(left ? ItemEdits::rotatedLeft(item.orientation())
                             : ItemEdits::rotatedRight(item.orientation()));
    ORU_LOG(QStringLiteral("new orientation:%1").arg(item.orientation()));
    const QString rotateMode = oruUtils::rotateModeFromOrientation(int(item.orientation()));
    ORU_LOG(QStringLiteral("new rotateMode:%1").arg(rotateMode));
    const QVariantMap change {{QStringLiteral("RotateFlipType"), rotateMode}};
    for (QVariant &record : m_assetsList) {
        QVariantMap asset = record.toMap();
        if (asset.value(QStringLiteral("UniqueIdentifier")).toString() == item.uniqueID()) {
            asset.insert(change);
            record = asset;
        }
    }
    if (item.isDraft())
        m_drafts->updateDraft(item.uniqueID(), change);

    // The thumbnail turns with the picture: from the preview when there is one, else the
    // thumbnail itself is turned a quarter.
    const bool fromPreview = item.previewPic() && !item.previewPic()->isNull();
    std::optional<Picture> source;
    if (fromPreview)
        source = Picture(*item.previewPic());
    else if (item.thumbnailPic() && !item.thumbnailPic()->isNull())
        source = rotateAccordingToExifOrientation(Picture(*item.thumbnailPic()), quarterTurn);
    if (source) {
        if (const std::optional<Picture> thumbnail
            = thumbnailImage(*source, oruItem::kThumbnailSize)) {
            item.setThumbnailPic(thumbnail->bitmap());
            if (!item.fullPathName().isEmpty())
                CSCache::sharedCache().cacheData(
                    pngBytes(thumbnail->bitmap()), item.fullPathName());
        }
    }
    allPictureViewsSetNeedsDisplay();
}

} // namespace pondrel
