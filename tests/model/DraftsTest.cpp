// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/common/ScratchHome.h"
#include "tests/model/SignalWait.h"
#include "tests/imaging/TestPictures.h"

#include "model/AcceptedPictureFiles.h"
#include "model/DraftImport.h"
#include "model/DraftStore.h"
#include "model/DraftsFile.h"
#include "model/DraftsWriter.h"
#include "model/ItemEdits.h"
#include "model/oruItem.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace pondrel;
using namespace TestPictures;

namespace {

QVariantMap albumRecord(const QString &name)
{
    oruItem album = oruItem::initWithEmptyAlbum();
    album.setName(name);
    return album.asset();
}

QString idOf(const QVariantMap &record)
{
    return record.value(DraftStore::kIdentifierKey).toString();
}

QStringList namesIn(const DraftStore &store, const QString &albumId)
{
    QStringList names;
    for (const QVariant &record : store.records(albumId))
        names.append(record.toMap().value("Name").toString());
    return names;
}

TEST(DraftStore, RemovingAnAlbumTakesItsWholeSubtreeAndCreationMovesContents)
{
    DraftStore store;
    const QVariantMap a = albumRecord("A"), b = albumRecord("B"), c = albumRecord("C");
    store.append("", a);
    store.append(idOf(a), b);
    store.append(idOf(b), c);
    store.append(idOf(c), albumRecord("D"));
    const QVariantMap other = albumRecord("Other");
    store.append("", other);
    EXPECT_EQ(store.numberOfItemsBeneath(idOf(a)), 3);

    DraftStore created = store;
    created.albumCreated(idOf(a), "SERVICE-A");
    EXPECT_EQ(namesIn(created, ""), QStringList {"Other"});
    EXPECT_EQ(namesIn(created, "SERVICE-A"), QStringList {"B"});
    EXPECT_EQ(created.albumOf(idOf(b)), QString("SERVICE-A"));
    EXPECT_FALSE(created.isDraftAlbum("SERVICE-A"));

    EXPECT_EQ(store.remove(idOf(a)), 4);
    EXPECT_EQ(store.albumIds(), QStringList {""}) << "no orphaned lists, no empty lists";
    EXPECT_EQ(store.numberOfDraftItems(), 1);
}

TEST(DraftsFile, RoundTripsWithTheAccountAndAnEmptyStoreLeavesNoFile)
{
    const ScratchHome home;
    DraftStore store;
    const QVariantMap album = albumRecord("Trip <&> \"quoted\" \U0001F600");
    store.append("", album);
    DraftsWriter writer;
    writer.schedule(store.toVariantMap(), "ann@example.com", true);
    writer.flush();

    const std::optional<DraftsFile::Contents> read = DraftsFile::load();
    ASSERT_TRUE(read);
    EXPECT_EQ(read->account, "ann@example.com");
    EXPECT_TRUE(read->committing);
    EXPECT_EQ(read->store.toVariantMap(), store.toVariantMap());

    writer.schedule(DraftStore().toVariantMap(), "ann@example.com", false);
    writer.flush();
    EXPECT_FALSE(QFile::exists(DraftsFile::path()));
}

TEST(AcceptedPictureFiles, NamesCompareExactlyAndContentVouchesForOddNames)
{
    QTemporaryDir dir;
    const QString jpegNamedOddly = dir.filePath("photo.Jpg");
    const QString textNamedOddly = dir.filePath("notes.Jpg");
    const QString pngWithoutExtension = dir.filePath("scan");
    ASSERT_TRUE(writeJpeg(jpegNamedOddly, quadrants(16, 16)));
    ASSERT_TRUE(writeBytes(textNamedOddly, "just text\n"));
    ASSERT_TRUE(quadrants(16, 16).save(pngWithoutExtension, "PNG"));

    EXPECT_TRUE(AcceptedPictureFiles::isValidFile(jpegNamedOddly));
    EXPECT_FALSE(AcceptedPictureFiles::isValidFile(textNamedOddly));
    EXPECT_TRUE(AcceptedPictureFiles::isValidFile(pngWithoutExtension));
    EXPECT_EQ(AcceptedPictureFiles::fileTypeCode(pngWithoutExtension), "'PNGf'");
    EXPECT_TRUE(AcceptedPictureFiles::isValidFile(dir.filePath("missing.tiff")));
    EXPECT_FALSE(AcceptedPictureFiles::isValidFile(dir.filePath("missing.Tiff")));
}

TEST(ItemEdits, RotationStepsAndRemovalPhrases)
{
    quint32 orientation = 1;
    QList<quint32> left;
    for (int turn = 0; turn < 4; ++turn)
        left.append(orientation = ItemEdits::rotatedLeft(orientation));
    EXPECT_EQ(left, (QList<quint32> {8, 3, 6, 1}));
    for (const quint32 start : {1u, 3u, 6u, 8u})
        EXPECT_EQ(ItemEdits::rotatedRight(ItemEdits::rotatedLeft(start)), start);
    EXPECT_EQ(ItemEdits::rotatedLeft(2), 2u);

    EXPECT_EQ(ItemEdits::removalQuestion(1, 2),
        "Are you sure you want to permanently delete this album and these pictures?");
    EXPECT_EQ(ItemEdits::removalPhrase(0, 2), "these pictures");
    EXPECT_EQ(ItemEdits::removalPhrase(1, 0), "this album");
    EXPECT_EQ(ItemEdits::removalPhrase(3, 1), "these albums and this picture");
    EXPECT_EQ(ItemEdits::removalPhrase(0, 0), "");
}

TEST(ItemEdits, DraftsChangeLocallyOnlyAndEachChangedSettingIsOneCall)
{
    oruItem draft = oruItem::initWithEmptyAlbum();
    draft.setName("Old");
    QVariantMap draftRecord = draft.asset();
    oruItem renamed = draft;
    renamed.setName("New");
    renamed.setPermissions(0);
    EXPECT_TRUE(ItemEdits::applyAlbumChanges(draft, draftRecord, renamed).empty());
    EXPECT_EQ(draftRecord.value("Name"), "New");
    EXPECT_EQ(draftRecord.value("FolderAssetSharingPermissions"), "0");

    oruItem remote;
    remote.setIsRemote(true);
    remote.setUniqueID("PICTURE");
    QVariantMap remoteRecord;
    oruItem rated = remote;
    rated.setRating(4);
    const auto calls = ItemEdits::applyPictureChanges(remote, remoteRecord, rated);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].operation, "SetAssetRating");
    EXPECT_EQ(remoteRecord, (QVariantMap {{"Rating", "Excellent"}}));
}

class DraftImportTest : public ::testing::Test
{
protected:
    DraftImport::Summary import(const QStringList &paths, const QString &albumId)
    {
        DraftImport importer(m_store);
        DraftImport::Summary summary;
        QObject::connect(&importer, &DraftImport::finished,
            [&](const DraftImport::Summary &result) { summary = result; });
        EXPECT_TRUE(importer.start({paths, albumId, 0}));
        EXPECT_TRUE(waitForSignal(&importer, &DraftImport::finished));
        return summary;
    }

    QString folder(const QString &relative)
    {
        const QString path = m_files.filePath(relative);
        QDir().mkpath(path);
        return path;
    }

    ScratchHome m_home;
    QTemporaryDir m_files;
    DraftStore m_store;
};

TEST_F(DraftImportTest, AFolderTreeBecomesATreeOfDraftAlbums)
{
    ASSERT_TRUE(writeJpeg(folder("Trip") + "/a.jpg", quadrants(64, 48)));
    ASSERT_TRUE(writeBytes(folder("Trip") + "/notes.txt", "not a picture"));
    ASSERT_TRUE(quadrants(32, 32).save(folder("Trip/Day1") + "/b.PNG", "PNG"));

    const DraftImport::Summary summary = import({m_files.filePath("Trip")}, "CURRENT");
    EXPECT_EQ(summary.picturesAdded, 2);
    EXPECT_EQ(summary.albumsAdded, 2);
    EXPECT_TRUE(summary.problems.isEmpty()) << summary.problems.join('\n').toStdString();

    ASSERT_EQ(m_store.albumIds().size(), 3);
    const QVariantList top = m_store.records("CURRENT");
    ASSERT_EQ(top.size(), 1);
    const QVariantMap trip = top[0].toMap();
    EXPECT_EQ(trip.value("Name"), "Trip");
    EXPECT_EQ(trip.value("CS_AssetKind"), "FolderAsset");
    EXPECT_EQ(trip.value("AssetType"), "Draft");
    EXPECT_EQ(namesIn(m_store, idOf(trip)), (QStringList {"a.jpg", "Day1"}));
    const QVariantMap day1 = m_store.records(idOf(trip))[1].toMap();
    const QVariantMap b = m_store.records(idOf(day1)).value(0).toMap();
    EXPECT_EQ(b.value("Name"), "b.PNG");
    EXPECT_EQ(b.value("CS_LocalFileName"), m_files.filePath("Trip/Day1/b.PNG"));
    EXPECT_EQ(b.value("SourceWidth"), 32);
}

TEST_F(DraftImportTest, TheTopLevelTakesFoldersOnlyAndBadEntriesAreSurvived)
{
    const QString file = m_files.filePath("single.jpg");
    ASSERT_TRUE(writeJpeg(file, quadrants(16, 16)));
    EXPECT_EQ(import({file}, "").picturesAdded, 0);
    EXPECT_TRUE(m_store.isEmpty());

    const QString odd = folder("Odd");
    ASSERT_TRUE(writeBytes(odd + "/empty.jpg", ""));
    ASSERT_TRUE(writeBytes(odd + "/truncated.jpg", "\xFF\xD8\xFF\xE0"));
    ASSERT_TRUE(QFile::link(odd, odd + "/loop"));
    ASSERT_TRUE(writeJpeg(odd + "/good.jpg", quadrants(16, 16)));
    const DraftImport::Summary summary = import({odd}, "");
    EXPECT_EQ(summary.albumsAdded, 1);
    EXPECT_EQ(summary.picturesAdded, 1);
    EXPECT_EQ(summary.problems.size(), 3) << summary.problems.join('\n').toStdString();
    const QVariantMap album = m_store.records("").value(0).toMap();
    EXPECT_EQ(namesIn(m_store, idOf(album)), QStringList {"good.jpg"});
}

TEST_F(DraftImportTest, ManyFilesKeepTheirOrderAndAStopKeepsAPrefix)
{
    QStringList files;
    for (int index = 0; index < 40; ++index) {
        files.append(m_files.filePath(QStringLiteral("p%1.jpg").arg(index, 2, 10, QChar('0'))));
        ASSERT_TRUE(writeJpeg(files.last(), quadrants(96 + index, 64)));
    }
    EXPECT_EQ(import(files, "ALBUM").picturesAdded, 40);
    QStringList expected;
    for (const QString &file : files)
        expected.append(QFileInfo(file).fileName());
    EXPECT_EQ(namesIn(m_store, "ALBUM"), expected);

    DraftStore stopped;
    DraftImport importer(stopped);
    DraftImport::Summary summary;
    QObject::connect(&importer, &DraftImport::finished,
        [&](const DraftImport::Summary &result) { summary = result; });
    QObject::connect(&importer, &DraftImport::progressed, &importer, &DraftImport::stop);
    ASSERT_TRUE(importer.start({files, "ALBUM", 0}));
    ASSERT_TRUE(waitForSignal(&importer, &DraftImport::finished));
    EXPECT_TRUE(summary.stopped);
    EXPECT_LT(summary.picturesAdded, 40);
    EXPECT_EQ(namesIn(stopped, "ALBUM"), expected.mid(0, summary.picturesAdded));
}

} // namespace
