// SPDX-License-Identifier: GPL-2.0-or-later
// Import of a whole album of the user's photo libraries (album data files, digiKam, Shotwell)
// into the drafts: into the album shown, or into a new draft album named like the library's.
#include "publisher/app/oruController.h"

#include "model/photolibrary/PhotoLibraryCatalogue.h"
#include "publisher/app/oruMainWindow.h"
#include "publisher/dialogs/oruAlertPresenter.h"
#include "publisher/dialogs/oruPhotoLibrarySheet.h"
#include "support/oruLog.h"
#include "ui_MainWindow.h"

#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>

namespace pondrel {

namespace {

// Runs work on the pool and then done on the GUI thread, unless the controller has gone.
template <typename Result, typename Work, typename Done>
void runThenOnGuiThread(QObject *owner, Work work, Done done)
{
    auto *watcher = new QFutureWatcher<Result>(owner);
    QObject::connect(watcher, &QFutureWatcher<Result>::finished, owner, [watcher, done] {
        done(watcher->result());
        watcher->deleteLater();
    });
    watcher->setFuture(QtConcurrent::run(std::move(work)));
}

QStringList unavailableLines(const QList<UnavailableSource> &sources)
{
    QStringList lines;
    for (const UnavailableSource &source : sources)
        lines.append(QObject::tr("%1 not available: %2").arg(source.source, source.reason));
    return lines;
}

} // namespace

bool oruController::canImportPhotoLibraryAlbum() const
{
    return m_drafts && validateGUIItem(Command::ShowImportIPhotoAlbum, commandState());
}

void oruController::showImportIPhotoAlbum()
{
    if (!canImportPhotoLibraryAlbum())
        return;
    // A big digiKam database takes a while: the window stays alive meanwhile.
    m_readingPhotoLibraries = true;
    showStatus(tr("Reading photo libraries..."));
    updateCommandStates();
    runThenOnGuiThread<PhotoLibraryCatalogue>(
        this,
        [locations = PhotoLibraryCatalogue::Locations::standard()] {
            return PhotoLibraryCatalogue::read(locations);
        },
        [this](const PhotoLibraryCatalogue &catalogue) {
            m_readingPhotoLibraries = false;
            hideStatus();
            updateCommandStates();
            selectIPhotoAlbum(catalogue);
        });
}

void oruController::selectIPhotoAlbum(const PhotoLibraryCatalogue &catalogue)
{
    oruPhotoLibrarySheet sheet(&window());
    sheet.setObjectName(QStringLiteral("PhotoLibrarySheet"));
    sheet.clearAlbums();
    for (const PhotoLibraryCatalogue::OfferedAlbum &album : catalogue.offeredAlbums())
        sheet.addAlbum(album.label, album.tag);
    sheet.setUnavailable(unavailableLines(catalogue.unavailable()));
    // With no library read the check box keeps what the user chose last time.
    sheet.setCreatesNewAlbum(catalogue.isEmpty() ? m_photoLibraryNewAlbum : true);
    const bool accepted = m_alerts->runDialog(sheet) == QDialog::Accepted;
    m_photoLibraryNewAlbum = sheet.createsNewAlbum();
    if (!accepted || sheet.selectedTag() == oruPhotoLibrarySheet::kNoAlbumTag)
        return;
    const bool newAlbum = sheet.createsNewAlbum();
    const int tag = sheet.selectedTag();
    // Whether each picture still exists is asked of the disk, off the GUI thread.
    m_readingPhotoLibraries = true;
    updateCommandStates();
    runThenOnGuiThread<std::optional<PhotoLibraryCatalogue::Pictures>>(
        this, [catalogue, tag] { return catalogue.pictures(tag); },
        [this, newAlbum](const std::optional<PhotoLibraryCatalogue::Pictures> &pictures) {
            m_readingPhotoLibraries = false;
            updateCommandStates();
            if (pictures)
                importPhotoLibraryPictures(*pictures, newAlbum);
        });
}

void oruController::importPhotoLibraryPictures(
    const PhotoLibraryCatalogue::Pictures &pictures, bool newAlbum)
{
    if (pictures.missing > 0) {
        m_alerts->alert(oruAlertRequest::Kind::Warning,
            tr("Some pictures of “%1” were not found.").arg(pictures.albumName),
            pictures.missing == 1
                ? tr("1 picture no longer exists where the photo library says and is left out.")
                : tr("%1 pictures no longer exist where the photo library says and are left out.")
                      .arg(pictures.missing));
    }
    if (pictures.paths.isEmpty())
        return;
    if (!newAlbum) {
        startImportingWithFiles(pictures.paths);
        return;
    }
    oruItem album = oruItem::initWithEmptyAlbum();
    album.setName(pictures.albumName);
    const QVariantMap record = album.asset();
    const QString identifier = record.value(DraftStore::kIdentifierKey).toString();
    ORU_LOG(QStringLiteral("uniqueID of new album: %1").arg(identifier));
    // The new album shows in the draft grid once the listing the new draft asks for is in.
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = connect(this, &oruController::refreshed, this,
        [this, connection, identifier, paths = pictures.paths] {
            disconnect(*connection);
            enterNewDraftAlbumAndImport(identifier, paths);
        });
    m_drafts->addDraft(record);
}

void oruController::enterNewDraftAlbumAndImport(const QString &identifier, const QStringList &paths)
{
    for (const oruItem &item : pictureViewArrayForTag(DraftTag)) {
        ORU_LOG(QStringLiteral("uniqueID of album: %1").arg(item.uniqueID()));
        if (item.uniqueID() == identifier) {
            goDown(item);
            startImportingWithFiles(paths);
            return;
        }
    }
    ORU_LOG(QStringLiteral("Didnt find the newly created album"));
    startImportingWithFiles(paths);
}

} // namespace pondrel
