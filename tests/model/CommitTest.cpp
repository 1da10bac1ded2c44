// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/common/ProgramRun.h"
#include "tests/imaging/TestPictures.h"
#include "tests/model/SignalWait.h"
#include "tests/model/SignedOnTest.h"

#include "client/oruUtils.h"
#include "model/DraftCommit.h"
#include "model/DraftStore.h"
#include "model/ItemEdits.h"
#include "model/oruItem.h"
#include "model/oruNetwork_upload.h"

#include <QFile>

#include <mutex>

using namespace pondrel;
using namespace TestPictures;

namespace {

class CommitTest : public SignedOnTest
{
protected:
    QVariantMap album(const QString &name)
    {
        oruItem item = oruItem::initWithEmptyAlbum();
        item.setName(name);
        return item.asset();
    }

    QVariantMap picture(const QString &name, const Metadata &metadata = {})
    {
        const QString path = m_files.filePath(name);
        EXPECT_TRUE(writeJpeg(path, quadrants(64, 48), metadata));
        return oruItem::initWithFile(path, 0).asset();
    }

    DraftCommit::Summary commit(bool resumed = false)
    {
        DraftCommit committer(m_store, DraftCommit::clientsLike(*m_network));
        DraftCommit::Summary summary;
        QObject::connect(&committer, &DraftCommit::finished,
            [&](const DraftCommit::Summary &result) { summary = result; });
        EXPECT_TRUE(committer.start(resumed));
        EXPECT_TRUE(waitForSignal(&committer, &DraftCommit::finished));
        return summary;
    }

    QString serviceAlbum()
    {
        oruItem item = oruItem::initWithEmptyAlbum();
        item.setName("Album");
        const std::optional<QString> id = oruNetworkUpload::uploadFolderItem(*m_network, item, "");
        EXPECT_TRUE(id) << m_network->errorMsg().toStdString();
        return id.value_or(QString());
    }

    void loseTheNextAlbumsAnswer()
    {
        const ProgramRun faults = ProgramRun::run("curl",
            {"-sf", "-H", QString::fromUtf8(m_service.adminHeader()), "--data-binary",
                "1*CreateFolderAsset:lost", m_service.baseUrl() + "/Pondrel/Admin/Faults"});
        ASSERT_EQ(faults.exitCode, 0)
            << "curl is needed for this test: " << faults.standardError.toStdString();
    }

    static QString idOf(const QVariantMap &record)
    {
        return record.value(DraftStore::kIdentifierKey).toString();
    }

    DraftStore m_store;
};

TEST_F(CommitTest, NestedDraftAlbumsAreCreatedParentFirstThenThePictures)
{
    const QVariantMap a = album("A <&> \"quoted\" \U0001F600"), b = album("B");
    m_store.append("", a);
    m_store.append(idOf(a), b);
    m_store.append(idOf(b), picture("p.jpg"));

    const DraftCommit::Summary summary = commit();
    EXPECT_EQ(summary.sent, 3);
    EXPECT_EQ(summary.notSent, 0);
    EXPECT_TRUE(m_store.isEmpty());

    const QVariantMap top = assetsIn("").value("A <&> \"quoted\" \U0001F600");
    ASSERT_FALSE(top.isEmpty());
    const QVariantMap inner = assetsIn(top.value("UniqueIdentifier").toString()).value("B");
    ASSERT_FALSE(inner.isEmpty());
    EXPECT_TRUE(assetsIn(inner.value("UniqueIdentifier").toString()).contains("p.jpg"));
}

TEST_F(CommitTest, AFailedUploadStaysWithItsReasonAndTheNextCommitSendsIt)
{
    const QString album = serviceAlbum();
    const QVariantMap good = picture("good.jpg"), gone = picture("gone.jpg");
    m_store.append(album, good);
    m_store.append(album, gone);
    const QString gonePath = m_files.filePath("gone.jpg");
    ASSERT_TRUE(QFile::rename(gonePath, gonePath + ".away"));

    DraftCommit::Summary summary = commit();
    EXPECT_EQ(summary.sent, 1) << summary.problems.join('\n').toStdString();
    EXPECT_EQ(summary.notSent, 1);
    ASSERT_EQ(summary.problems.size(), 1);
    EXPECT_TRUE(summary.problems[0].startsWith("gone.jpg: ")) << summary.problems[0].toStdString();
    const std::optional<QVariantMap> kept = m_store.record(idOf(gone));
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->value("RetrievalAttemptFailed"), "true");
    EXPECT_FALSE(kept->value(DraftStore::kCommitErrorKey).toString().isEmpty());

    ASSERT_TRUE(QFile::rename(gonePath + ".away", gonePath));
    summary = commit();
    EXPECT_EQ(summary.sent, 1);
    EXPECT_TRUE(m_store.isEmpty());
    EXPECT_EQ(assetsIn(album).keys(), (QStringList {"gone.jpg", "good.jpg"}));
}

TEST_F(CommitTest, AnAlbumWhoseAnswerWasLostIsNotCreatedTwice)
{
    // An album of that name was there before, and a second draft of that name gets through.
    const QString older = serviceAlbum();
    const QVariantMap lost = album("Album"), namesake = album("Album");
    m_store.append("", lost);
    m_store.append(idOf(lost), picture("p.jpg"));
    m_store.append("", namesake);
    m_store.append(idOf(namesake), picture("q.jpg"));
    ASSERT_NO_FATAL_FAILURE(loseTheNextAlbumsAnswer());

    DraftCommit::Summary summary = commit();
    EXPECT_EQ(summary.notSent, 2);
    QStringList created;
    for (const QVariant &record : m_network->getAssets("").value_or(QVariantList()))
        if (idOf(record.toMap()) != older)
            created.append(idOf(record.toMap()));
    ASSERT_EQ(created.size(), 2) << "the lost answer's album reached the service";
    if (assetsIn(created.at(0)).contains("q.jpg"))
        created.swapItemsAt(0, 1);
    ASSERT_EQ(assetsIn(created.at(1)).keys(), QStringList {"q.jpg"});

    // The retry takes the album the lost answer made, neither the older one nor the namesake's.
    summary = commit();
    EXPECT_EQ(summary.notSent, 0) << summary.problems.join('\n').toStdString();
    EXPECT_EQ(m_network->getAssets("")->size(), 3);
    EXPECT_EQ(assetsIn(created.at(0)).keys(), QStringList {"p.jpg"});
    EXPECT_EQ(assetsIn(created.at(1)).keys(), QStringList {"q.jpg"});
    EXPECT_TRUE(m_network->getAssets(older)->isEmpty());
}

TEST_F(CommitTest, AnAlbumIsNotCreatedTwiceWhenThePublisherEndsBeforeItsAnswer)
{
    const QVariantMap draft = album("Album");
    m_store.append("", draft);
    m_store.append(idOf(draft), picture("p.jpg"));
    ASSERT_NO_FATAL_FAILURE(loseTheNextAlbumsAnswer());

    // The drafts as written to disk when the album is sent: all that a Publisher which ends
    // before the answer arrives leaves behind.
    std::mutex mutex;
    QVariantMap written, onDiskWhenSent;
    {
        DraftCommit committer(m_store, DraftCommit::clientsLike(*m_network));
        QObject::connect(&committer, &DraftCommit::draftsChanged, [&] {
            const std::lock_guard lock(mutex);
            written = m_store.toVariantMap();
        });
        committer.setWaitUntilSaved([&] {
            const std::lock_guard lock(mutex);
            onDiskWhenSent = written;
        });
        ASSERT_TRUE(committer.start());
        ASSERT_TRUE(waitForSignal(&committer, &DraftCommit::finished));
    }
    ASSERT_EQ(m_network->getAssets("")->size(), 1) << "the lost answer's album reached the service";

    m_store = DraftStore::fromVariantMap(onDiskWhenSent);
    const DraftCommit::Summary summary = commit(true);
    EXPECT_EQ(summary.notSent, 0) << summary.problems.join('\n').toStdString();
    const std::optional<QVariantList> top = m_network->getAssets("");
    ASSERT_EQ(top->size(), 1);
    EXPECT_EQ(assetsIn(idOf(top->at(0).toMap())).keys(), QStringList {"p.jpg"});
}

TEST_F(CommitTest, ARenamedAlbumWhoseAnswerWasLostClaimsNoAlbumOfItsNewName)
{
    const QString older = serviceAlbum();
    const QVariantMap draft = album("Trip");
    m_store.append("", draft);
    m_store.append(idOf(draft), picture("p.jpg"));
    ASSERT_NO_FATAL_FAILURE(loseTheNextAlbumsAnswer());
    EXPECT_EQ(commit().notSent, 2);

    m_store.updateRecord(idOf(draft), {{"Name", "Album"}});
    EXPECT_EQ(commit().notSent, 0);
    EXPECT_TRUE(m_network->getAssets(older)->isEmpty()) << "the user's own album was taken";
    EXPECT_EQ(m_network->getAssets("")->size(), 3);
}

TEST_F(CommitTest, ARefusedAlbumKeepsItsContentsInTheDrafts)
{
    const QVariantMap a = album("A");
    m_store.append("NO-SUCH-ALBUM", a);
    m_store.append(idOf(a), picture("p.jpg"));
    const DraftCommit::Summary summary = commit();
    EXPECT_EQ(summary.sent, 0);
    EXPECT_EQ(summary.notSent, 2);
    EXPECT_EQ(m_store.numberOfDraftItems(), 2);
}

TEST_F(CommitTest, ARotatedDraftIsSentWithItsNewRotation)
{
    const QString album = serviceAlbum();
    const QVariantMap draft = picture("turned.jpg");
    m_store.append(album, draft);
    const int turned = int(ItemEdits::rotatedLeft(1));
    m_store.updateRecord(
        idOf(draft), {{"RotateFlipType", oruUtils::rotateModeFromOrientation(turned)}});
    commit();
    EXPECT_EQ(assetsIn(album).value("turned.jpg").value("RotateFlipType"), "Rotate270FlipNone");
}

TEST_F(CommitTest, AResumedCommitKeepsCreatedAlbumsAndSendsNoPictureTwice)
{
    const QVariantMap a = album("A");
    const QVariantMap first = picture("first.jpg"), second = picture("second.jpg");
    m_store.append("", a);
    m_store.append(idOf(a), first);
    m_store.append(idOf(a), second);

    // As a commit killed after the album and its first picture reached the service, before
    // the drafts file said so about the picture.
    const QString created
        = oruNetworkUpload::uploadFolderItem(*m_network, oruItem::initWithAsset(a), "")
              .value_or(QString());
    ASSERT_FALSE(created.isEmpty());
    m_store.albumCreated(idOf(a), created);
    ASSERT_TRUE(
        oruNetworkUpload::uploadPictureAsset(*m_network, oruItem::initWithAsset(first), created));

    const DraftCommit::Summary summary = commit(true);
    EXPECT_EQ(summary.notSent, 0);
    EXPECT_EQ(assetsIn("").size(), 1);
    EXPECT_EQ(assetsIn(created).keys(), (QStringList {"first.jpg", "second.jpg"}));
    EXPECT_EQ(m_network->getAssets(created)->size(), 2);
}

} // namespace
