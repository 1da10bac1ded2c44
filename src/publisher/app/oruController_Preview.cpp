// SPDX-License-Identifier: GPL-2.0-or-later
// The full picture view (tab 1) and its buttons, stepping through pictures, the loader of
// thumbnails and previews, wallpaper requests and downloads of renditions.
#include "publisher/app/oruController.h"

#include "publisher/app/oruMainWindow.h"
#include "publisher/app/oruServiceThread.h"
#include "publisher/dialogs/oruAlertPresenter.h"
#include "publisher/dialogs/oruDownloadPicController.h"
#include "publisher/preview/FullPictureViewRules.h"
#include "publisher/preview/ORPhotoView.h"
#include "publisher/preview/PictureDownload.h"
#include "publisher/preview/VisibleCells.h"
#include "publisher/preview/oruLoader.h"
#include "support/Values.h"
#include "support/oruLog.h"
#include "ui_MainWindow.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>

namespace pondrel {

namespace {

constexpr int kBrowserTab = 0;
constexpr int kPictureTab = 1;

const QStringList kPictureSuffixes {
    "jpg", "jpeg", "png", "gif", "tif", "tiff", "bmp", "heic", "webp", "jp2"};

// The picture's name as a JPEG file name: "Coast.png" becomes "Coast.jpg", "Coast" too.
QString proposedFileName(const QString &pictureName)
{
    const QFileInfo name(pictureName);
    const QString base = kPictureSuffixes.contains(name.suffix().toLower())
        ? name.completeBaseName()
        : pictureName;
    return (base.isEmpty() ? QStringLiteral("Picture") : base) + QStringLiteral(".jpg");
}

QVariantList renditionsOf(const QVariantMap &asset)
{
    const bool album = asset.value("CS_AssetKind").toString() == QLatin1String("FolderAsset");
    const QVariantMap renditions
        = asset.value(album ? "FolderAssetRenditions" : "PictureFileAssetRenditions").toMap();
    return Values::asList(
        renditions.value(album ? "FolderAssetRendition" : "PictureFileAssetRendition"));
}

} // namespace

void oruController::setUpPictureView()
{
    m_loader = std::make_unique<oruLoader>(m_thumbnails, oruLoader::defaultCacheDirectory());
    connect(m_loader.get(), &oruLoader::statusShown, this, &oruController::showStatus);
    connect(m_loader.get(), &oruLoader::statusHidden, this, &oruController::hideStatus);
    connect(m_loader.get(), &oruLoader::picturesNeedDisplay, this,
        &oruController::allPictureViewsSetNeedsDisplay);
    connect(m_loader.get(), &oruLoader::previewArrived, this, &oruController::previewArrived);
    connect(m_loader.get(), &oruLoader::previewFinished, this, [this](const QString &key) {
        if (m_photoView->item().uniqueID() == key)
            m_photoView->setPreviewPending(false);
        refreshPictureView();
    });
    connect(window().ui().scrollView->verticalScrollBar(), &QScrollBar::valueChanged, this,
        &oruController::tellLoaderWhatIsVisible);
    connect(m_window.get(), &oruMainWindow::resized, this,
        [this] { QTimer::singleShot(0, this, &oruController::tellLoaderWhatIsVisible); });

    m_pictureDownload = std::make_unique<PictureDownload>();
    connect(m_pictureDownload.get(), &PictureDownload::finished, this,
        [this](bool saved, const QString &path, const QString &errorMsg) {
            if (saved)
                hideStatus();
            else
                showStatus(tr("Could not save %1: %2").arg(QFileInfo(path).fileName(), errorMsg));
        });

    QWidget *page = window().ui().picturePage;
    m_photoView = new ORPhotoView(page);
    connect(m_photoView, &ORPhotoView::nextRequested, this, &oruController::displayNextPic);
    connect(m_photoView, &ORPhotoView::previousRequested, this, &oruController::displayPrevPic);
    connect(m_photoView, &ORPhotoView::backRequested, this, &oruController::goBrowser);
    auto *buttons = new QHBoxLayout;
    const auto addButton = [&](const QString &name, const QString &text, auto action) {
        auto *button = new QPushButton(text, page);
        button->setObjectName(name + QStringLiteral("Button"));
        button->setFocusPolicy(Qt::NoFocus);
        connect(button, &QPushButton::clicked, this, action);
        buttons->addWidget(button);
        m_fullViewButtons.insert(name, button);
    };
    addButton("back", tr("Back"), &oruController::goBrowser);
    addButton("previous", tr("Previous"), &oruController::displayPrevPic);
    addButton("next", tr("Next"), &oruController::displayNextPic);
    buttons->addStretch();
    addButton("rotateLeft", tr("Rotate Left"), [this] { rotateShownPicture(true); });
    addButton("rotateRight", tr("Rotate Right"), [this] { rotateShownPicture(false); });
    buttons->addStretch();
    addButton("wallpaper", tr("Get Wallpaper"), &oruController::requestWallpaper);
    addButton("download", tr("Download"), &oruController::downloadPicture);
    window().ui().pictureLayout->addWidget(m_photoView, 1);
    window().ui().pictureLayout->addLayout(buttons);
}

QPushButton *oruController::fullViewButton(const QString &name) const
{
    return m_fullViewButtons.value(name);
}

void oruController::refreshPictureView()
{
    m_photoView->update();
}

void oruController::updateFullPictureViewButtons(const oruItem &item)
{
    const FullPictureViewButtons present {fullViewButton("download")->isEnabled(),
        fullViewButton("wallpaper")->isEnabled(), fullViewButton("rotateRight")->isEnabled(),
        fullViewButton("rotateLeft")->isEnabled()};
    const FullPictureViewButtons buttons
        = FullPictureViewRules::buttonsForItem(item, hasThumbnail(item), present);
    fullViewButton("download")->setEnabled(buttons.download);
    fullViewButton("wallpaper")->setEnabled(buttons.wallpaper);
    fullViewButton("rotateRight")->setEnabled(buttons.rotateRight);
    fullViewButton("rotateLeft")->setEnabled(buttons.rotateLeft);
}

bool oruController::hasThumbnail(const oruItem &item) const
{
    return item.thumbnailPic().has_value() || m_thumbnails.contains(item.uniqueID());
}

// Previews are kept by the view for the picture it shows, not on every item: stepping through
// a large album would otherwise keep megabytes per picture. The disk cache makes showing a
// picture again cheap.
void oruController::showPicture(const oruItem &item, bool alwaysRequestPreview)
{
    m_photoView->setItem(item);
    updateFullPictureViewButtons(item);
    const bool request = alwaysRequestPreview || !item.previewPic();
    m_photoView->setPreviewPending(request);
    window().ui().oruTabView->setCurrentIndex(kPictureTab);
    m_photoView->setFocus();
    if (request)
        m_loader->downloadPreview(LoaderItem::fromItem(item));
}

void oruController::previewArrived(const QString &key, const QImage &preview)
{
    m_photoView->setPreviewPic(key, preview);
}

void oruController::displayPrevPic()
{
    stepToPicture(false);
}

void oruController::displayNextPic()
{
    stepToPicture(true);
}

void oruController::stepToPicture(bool forward)
{
    int position = -1;
    const QList<oruItem> pictures = arrayOfAllItems(position);
    const std::optional<int> current = position < 0 ? std::nullopt : std::optional<int>(position);
    const std::optional<int> target = forward
        ? FullPictureViewRules::nextPosition(int(pictures.size()), current)
        : FullPictureViewRules::previousPosition(int(pictures.size()), current);
    if (!target)
        return;
    const oruItem &item = pictures.at(*target);
    resetAllSelectionIndexes();
    for (int section = 0; section < kSectionCount; ++section) {
        const qsizetype index
            = std::find_if(m_pictureViewArrays[section].cbegin(),
                  m_pictureViewArrays[section].cend(),
                  [&](const oruItem &other) {
                      return !other.isFolder() && other.uniqueID() == item.uniqueID();
                  })
            - m_pictureViewArrays[section].cbegin();
        if (index < m_pictureViewArrays[section].size()) {
            IndexSet selection;
            selection.add(quint32(index));
            m_pictureViewIndexes[section] = selection;
            m_photoViews[section]->update();
            break;
        }
    }
    showPicture(item, true);
}

void oruController::fetchThumbnails()
{
    QList<oruItem> items;
    QSet<QString> listed;
    for (const QList<oruItem> &section : m_pictureViewArrays)
        for (const oruItem &item : section) {
            items.append(item);
            listed.insert(item.uniqueID());
        }
    m_thumbnails.retain(listed);
    fetchItems(items);
}

void oruController::fetchMissingPictures()
{
    QList<oruItem> items;
    for (const int tag : {LocalTag, RemoteTag, ImportedTag})
        for (const oruItem &item : pictureViewArrayForTag(tag))
            if (!hasThumbnail(item))
                items.append(item);
    if (!items.isEmpty())
        fetchItems(items);
}

// A thumbnail already in hand from the same address is not asked for again; drafts are, since
// rotating one changes its thumbnail under the same path.
void oruController::fetchItems(const QList<oruItem> &items)
{
    QList<LoaderItem> wanted;
    wanted.reserve(items.size());
    for (const oruItem &item : items)
        if (item.isDraft() || !m_thumbnails.containsFrom(item.uniqueID(), item.thumbnailURL()))
            wanted.append(LoaderItem::fromItem(item));
    tellLoaderWhatIsVisible();
    m_loader->fetch(wanted);
    allPictureViewsSetNeedsDisplay();
}

void oruController::tellLoaderWhatIsVisible()
{
    if (!m_loader)
        return;
    const QWidget &viewport = *window().ui().scrollView->viewport();
    QStringList visible;
    QStringList next;
    for (int section = 0; section < kSectionCount; ++section) {
        const MUPhotoView &grid = *m_photoViews[section];
        const QList<oruItem> &items = m_pictureViewArrays[section];
        const auto collect = [&](IndexRange range, QStringList &keys) {
            const quint32 end = std::min<quint32>(range.location + range.length, items.size());
            for (quint32 index = range.location; index < end; ++index)
                keys.append(items.at(index).uniqueID());
        };
        collect(VisibleCells::cellsInViewport(grid, viewport), visible);
        collect(VisibleCells::cellsInViewport(grid, viewport, 1), next);
    }
    m_loader->setVisibleItems(visible, next);
}

void oruController::stopLoader()
{
    if (m_loader)
        m_loader->stop();
}

void oruController::goBrowser()
{
    window().ui().oruTabView->setCurrentIndex(kBrowserTab);
    recalcViews();
    fetchMissingPictures();
}

std::optional<oruItem> oruController::firstSelectedItem() const
{
    const quint32 tag = tagViewOfFirstSelectedItem();
    if (tag == kMissingTag)
        return std::nullopt;
    const QList<oruItem> &items = pictureViewArrayForTag(tag);
    const quint32 index = m_pictureViewIndexes[indexOfSection(tag)].firstIndex();
    if (index >= quint32(items.size()))
        return std::nullopt;
    return items.at(index);
}

void oruController::requestWallpaper()
{
    const std::optional<oruItem> item = firstSelectedItem();
    if (!item || item->isFolder())
        return;
    const oruAssetItem asset {
        item->uniqueID(), int(item->orientation()), item->pixelsWidth(), item->pixelsHeight()};
    // The size of the screen the window is on, in device pixels, read here on the GUI thread.
    const QScreen *screen = window().screen();
    const QSizeF screenSize
        = screen ? QSizeF(screen->size()) * screen->devicePixelRatio() : QSizeF();
    m_service->run<bool>(
        [net = m_orunet.get(), asset, screenSize] {
            if (!screenSize.isEmpty())
                net->setScreenSizeProvider([screenSize] { return screenSize; });
            return net->requestWallpaper(asset);
        },
        [this](bool requested) {
            if (requested)
                alerts().alert(oruAlertRequest::Kind::Informational, tr("Request for wallpaper."),
                    tr("Your image will be emailed to you shortly."));
        });
}

void oruController::downloadPicture()
{
    const std::optional<oruItem> item = firstSelectedItem();
    if (item && !item->isFolder())
        showDownloadPictureAsset(*item);
}

void oruController::showDownloadPictureAsset(const oruItem &item)
{
    const QVariantMap asset = assetFromUniqueID(item.uniqueID()).value_or(QVariantMap());
    ORU_LOG(QStringLiteral("asset: %1").arg(asset.value("UniqueIdentifier").toString()));
    const QVariantList renditions = renditionsOf(asset);
    if (renditions.isEmpty()) {
        alerts().alert(oruAlertRequest::Kind::Critical, tr("Nothing to download."),
            tr("This picture can not be downloaded."));
        return;
    }
    const QString name = asset.value("Name").toString();
    oruDownloadPicController chooser(renditions, name, &window());
    if (alerts().runDialog(chooser) != QDialog::Accepted || chooser.selectedRendition() < 0)
        return;
    ORU_LOG(QStringLiteral("Selected row: %1").arg(chooser.selectedRendition()));
    const QString url = renditions.at(chooser.selectedRendition()).toMap().value("Url").toString();
    if (url.isEmpty()) {
        showStatus(tr("This version of the picture has no address to download it from."));
        return;
    }
    QFileDialog savePanel(&window(), tr("Save Picture"));
    savePanel.setObjectName(QStringLiteral("SavePicture"));
    savePanel.setOption(QFileDialog::DontUseNativeDialog);
    savePanel.setAcceptMode(QFileDialog::AcceptSave);
    savePanel.setNameFilter(tr("JPEG pictures (*.jpg)"));
    savePanel.setDefaultSuffix(QStringLiteral("jpg"));
    savePanel.selectFile(proposedFileName(name));
    if (alerts().runDialog(savePanel) != QDialog::Accepted || savePanel.selectedFiles().isEmpty())
        return;
    downloadPictureToFile(url, savePanel.selectedFiles().constFirst());
}

void oruController::downloadPictureToFile(const QString &url, const QString &path)
{
    m_pictureDownload->start(url, path);
}

} // namespace pondrel
