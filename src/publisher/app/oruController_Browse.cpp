// SPDX-License-Identifier: GPL-2.0-or-later
// Listing the current album, the four sections, going up and down, and the grids' answers.
#include "publisher/app/oruController.h"

#include "publisher/app/oruMainWindow.h"
#include "publisher/app/oruServiceThread.h"
#include "support/Values.h"
#include "support/oruLog.h"
#include "ui_MainWindow.h"

namespace pondrel {

namespace {

const QString kUniqueIdentifier = QStringLiteral("UniqueIdentifier");
const QString kAssetType = QStringLiteral("AssetType");

const std::array<QString, oruController::kSectionCount> kAssetTypes {
    QStringLiteral("Draft"),
    QStringLiteral("Local"),
    QStringLiteral("Remote"),
    QStringLiteral("Imported"),
};

QList<oruItem> &emptyList()
{
    static QList<oruItem> list;
    list.clear();
    return list;
}

} // namespace

QList<oruItem> &oruController::pictureViewArrayForTag(quint32 tag)
{
    const int index = indexOfSection(tag);
    if (index < 0) {
        ORU_LOG(QStringLiteral("tag is undefined in pictureViewArrayForTag"));
        return emptyList();
    }
    return m_pictureViewArrays[index];
}

const QList<oruItem> &oruController::pictureViewArrayForTag(quint32 tag) const
{
    return const_cast<oruController *>(this)->pictureViewArrayForTag(tag);
}

IndexSet &oruController::pictureViewIndexForTag(quint32 tag)
{
    static IndexSet none;
    const int index = indexOfSection(tag);
    if (index < 0) {
        none = IndexSet();
        return none;
    }
    return m_pictureViewIndexes[index];
}

QList<oruItem> *oruController::pictureViewArrayForAssetType(const QString &assetType)
{
    for (int i = 0; i < kSectionCount; ++i) {
        if (kAssetTypes[i] == assetType)
            return &m_pictureViewArrays[i];
    }
    ORU_LOG(QStringLiteral("no picture view for assetType: %1").arg(assetType));
    return nullptr;
}

quint32 oruController::tagViewOfFirstSelectedItem() const
{
    for (int i = 0; i < kSectionCount; ++i) {
        if (!m_pictureViewIndexes[i].isEmpty())
            return static_cast<quint32>(i + 1);
    }
    return kMissingTag;
}

void oruController::resetAllSelectionIndexes()
{
    for (IndexSet &selection : m_pictureViewIndexes)
        selection = IndexSet();
    allPictureViewsSetNeedsDisplay();
}

void oruController::allPictureViewsSetNeedsDisplay()
{
    window().ui().metaView->update();
    for (MUPhotoView *grid : m_photoViews) {
        if (grid)
            grid->update();
    }
}

std::optional<QVariantMap> oruController::assetFromUniqueID(const QString &identifier) const
{
    for (const QVariant &record : m_assetsList) {
        const QVariantMap asset = record.toMap();
        if (asset.value(kUniqueIdentifier).toString() == identifier)
            return asset;
    }
    return std::nullopt;
}

bool oruController::isAlbumDraft(const QString &identifier) const
{
    return m_drafts->store().isDraftAlbum(identifier);
}

int oruController::numberOfDraftItems() const
{
    return m_drafts->store().numberOfDraftItems();
}

void oruController::getNumberOfAlbumsAndPictures(int &albums, int &pictures) const
{
    albums = pictures = 0;
    for (const QList<oruItem> &items : m_pictureViewArrays) {
        for (const oruItem &item : items)
            ++(item.isFolder() ? albums : pictures);
    }
}

QList<oruItem> oruController::arrayOfAllItems(int &position) const
{
    QList<oruItem> pictures;
    position = -1;
    const quint32 selectedTag = tagViewOfFirstSelectedItem();
    for (int i = 0; i < kSectionCount; ++i) {
        const quint32 selected = static_cast<quint32>(i + 1) == selectedTag
            ? m_pictureViewIndexes[i].firstIndex()
            : IndexSet::notFound;
        for (qsizetype j = 0; j < m_pictureViewArrays[i].size(); ++j) {
            const oruItem &item = m_pictureViewArrays[i].at(j);
            if (item.isFolder())
                continue;
            if (static_cast<quint32>(j) == selected)
                position = static_cast<int>(pictures.size());
            pictures.append(item);
        }
    }
    return pictures;
}

std::optional<QString> oruController::renditionUrlForItem(
    const oruItem &item, const QString &name) const
{
    const std::optional<QVariantMap> record = assetFromUniqueID(item.uniqueID());
    if (!record) {
        ORU_LOG(QStringLiteral("item is NULL!"));
        ORU_LOG(QStringLiteral("pictureURL for name %1 is NULL!").arg(item.name()));
        return std::nullopt;
    }
    const bool album
        = record->value(QStringLiteral("CS_AssetKind")).toString() == QLatin1String("FolderAsset");
    const QVariantMap renditions = record
                                       ->value(album ? QStringLiteral("FolderAssetRenditions")
                                                     : QStringLiteral("PictureFileAssetRenditions"))
                                       .toMap();
    const QVariantList list
        = Values::asList(renditions.value(album ? QStringLiteral("FolderAssetRendition")
                                                : QStringLiteral("PictureFileAssetRendition")));
    for (const QVariant &rendition : list) {
        const QVariantMap fields = rendition.toMap();
        if (fields.value(QStringLiteral("Name")).toString() == name)
            return fields.value(QStringLiteral("Url")).toString();
    }
    ORU_LOG(QStringLiteral("pictureURL for name %1 is NULL!").arg(item.name()));
    return std::nullopt;
}

void oruController::refresh()
{
    stopLoader();
    showStatus(tr("Getting assets for album..."));
    const QString albumId = m_currentAlbum.uniqueID();
    const quint64 generation = ++m_listingGeneration;
    if (isAlbumDraft(albumId)) {
        listingArrived(albumId, generation, QVariantList());
        return;
    }
    m_service->run<std::optional<QVariantList>>(
        [net = m_orunet.get(), albumId] { return net->getAssets(albumId); },
        [this, albumId, generation](const std::optional<QVariantList> &assets) {
            listingArrived(albumId, generation, assets);
        });
}

void oruController::listingArrived(
    const QString &albumId, quint64 generation, const std::optional<QVariantList> &assets)
{
    if (generation != m_listingGeneration || albumId != m_currentAlbum.uniqueID())
        return;
    QVariantList list;
    if (assets) {
        list = *assets;
        list.append(m_drafts->store().records(albumId));
    }
    m_assetsList = list;
    hideStatus();
    rebuildPictureViewArray();
    fetchThumbnails();
    emit refreshed();
}

void oruController::rebuildPictureViewArray()
{
    for (int i = 0; i < kSectionCount; ++i) {
        m_pictureViewArrays[i].clear();
        m_pictureViewIndexes[i] = IndexSet();
    }
    const auto lookup = [this](const oruItem &item, const QString &name) {
        return renditionUrlForItem(item, name);
    };
    for (const QVariant &value : m_assetsList) {
        const QVariantMap record = value.toMap();
        QList<oruItem> *section = pictureViewArrayForAssetType(record.value(kAssetType).toString());
        const oruItem item = oruItem::initWithBrowsedAsset(record, lookup);
        if (!section)
            continue;
        if (item.isFolder() && !section->isEmpty())
            section->prepend(item);
        else
            section->append(item);
    }
    recalcViews();
    updateCountText();
}

void oruController::goDown(const oruItem &album)
{
    stopLoader();
    m_albumHeap.push(m_currentAlbum);
    setCurrentAlbum(album);
    m_assetsHeap.push(m_assetsList);
    refresh();
    allPictureViewsSetNeedsDisplay();
}

void oruController::goUp()
{
    stopLoader();
    if (m_assetsHeap.count() == 0)
        return;
    // An answer still on its way belongs to the album being left.
    ++m_listingGeneration;
    hideStatus();
    m_assetsList = m_assetsHeap.pop().value_or(QVariantList());
    setCurrentAlbum(m_albumHeap.pop().value_or(oruItem()));
    rebuildPictureViewArray();
    fetchThumbnails();
    allPictureViewsSetNeedsDisplay();
    emit refreshed();
}

void oruController::openItem()
{
    const quint32 tag = tagViewOfFirstSelectedItem();
    if (tag == kMissingTag)
        return;
    openItemAt(tag, pictureViewIndexForTag(tag).firstIndex(), true);
}

void oruController::openItemAt(quint32 tag, quint32 index, bool alwaysRequestPreview)
{
    const QList<oruItem> &items = pictureViewArrayForTag(tag);
    if (index >= static_cast<quint32>(items.size())) {
        ORU_FATAL(QStringLiteral("item is Null!"));
        return;
    }
    const oruItem item = items.at(index);
    if (item.isFolder()) {
        goDown(item);
        return;
    }
    showPicture(item, alwaysRequestPreview);
}

void oruController::updateCountText()
{
    int albums = 0;
    int pictures = 0;
    getNumberOfAlbumsAndPictures(albums, pictures);
    QString text;
    if (albums > 1)
        text = tr("%1 albums").arg(albums);
    else if (albums == 1)
        text = tr("%1 album").arg(albums);
    if (pictures > 0) {
        if (albums > 0)
            text += QStringLiteral(", ");
        text += pictures > 1 ? tr("%1 pictures").arg(pictures) : tr("%1 picture").arg(pictures);
    }
    if (albums == 0 && pictures == 0)
        text = tr("Empty Album");
    window().ui().countTextField->setText(text);
    ORU_LOG(QStringLiteral("Count is %1").arg(text));
}

quint32 oruController::tagOfView(MUPhotoView *view) const
{
    return view ? static_cast<quint32>(view->tag()) : kMissingTag;
}

const oruItem *oruController::itemAt(MUPhotoView *view, quint32 index) const
{
    const int section = indexOfSection(tagOfView(view));
    if (section < 0 || index >= static_cast<quint32>(m_pictureViewArrays[section].size()))
        return nullptr;
    return &m_pictureViewArrays[section].at(index);
}

quint32 oruController::photoCountForPhotoView(MUPhotoView *view)
{
    const int section = indexOfSection(tagOfView(view));
    return section < 0 ? 0 : static_cast<quint32>(m_pictureViewArrays[section].size());
}

QImage oruController::photoAtIndex(MUPhotoView *view, quint32 index)
{
    const oruItem *item = itemAt(view, index);
    if (!item)
        return QImage();
    return item->thumbnailPic() ? *item->thumbnailPic() : m_thumbnails.image(item->uniqueID());
}

QString oruController::titleAtIndex(MUPhotoView *view, quint32 index)
{
    const oruItem *item = itemAt(view, index);
    return item ? item->name() : QStringLiteral("");
}

bool oruController::isFolderAtIndex(MUPhotoView *view, quint32 index)
{
    const oruItem *item = itemAt(view, index);
    return item && item->isFolder();
}

QImage oruController::smallIconAtIndex(MUPhotoView *view, quint32 index)
{
    return isFolderAtIndex(view, index) ? m_folderPic : m_photoPic;
}

void oruController::attribsAtIndex(MUPhotoView *view, quint32 index, bool &isShared,
    bool &emailShared, bool &webShared, bool &retrievalFailed)
{
    const oruItem *item = itemAt(view, index);
    if (!item)
        return;
    isShared = item->isShared();
    emailShared = item->hasEmailAliases();
    webShared = item->hasWebAddresses();
    retrievalFailed = item->retrievalAttemptFailed();
}

IndexSet oruController::selectionIndexesForPhotoView(MUPhotoView *view)
{
    const int section = indexOfSection(tagOfView(view));
    return section < 0 ? IndexSet() : m_pictureViewIndexes[section];
}

IndexSet oruController::willSetSelectionIndexes(MUPhotoView *, const IndexSet &proposed)
{
    return proposed;
}

void oruController::didSetSelectionIndexes(MUPhotoView *view, const IndexSet &indexes)
{
    const int section = indexOfSection(tagOfView(view));
    if (section >= 0)
        m_pictureViewIndexes[section] = indexes;
    updateCommandStates();
}

void oruController::doubleClickOnPhotoAtIndex(MUPhotoView *view, quint32 index)
{
    openItemAt(tagOfView(view), index, false);
}

IndexSet oruController::willRemovePhotosAtIndexes(MUPhotoView *, const IndexSet &)
{
    // Removal asks the user and the service first; the grid removes nothing by itself.
    return IndexSet();
}

} // namespace pondrel
