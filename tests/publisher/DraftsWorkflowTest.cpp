// SPDX-License-Identifier: GPL-2.0-or-later
#include "../model/SignalWait.h"
#include "../model/SignedOnTest.h"
#include "tests/imaging/TestPictures.h"

#include "model/DraftsFile.h"
#include "model/oruItem.h"
#include "model/oruNetwork_upload.h"
#include "publisher/dialogs/oruProgressSheet.h"
#include "publisher/drafts/DraftsWorkflow.h"

#include <QDir>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>

using namespace pondrel;
using namespace TestPictures;

namespace {

class DraftsWorkflowTest : public SignedOnTest
{
protected:
    std::unique_ptr<DraftsWorkflow> workflow()
    {
        auto made = std::make_unique<DraftsWorkflow>(
            nullptr,
            [this](const QString &title, const QString &message, const QStringList &buttons) {
                m_alerts << title << message;
                return m_answer.isEmpty() ? buttons.first() : m_answer;
            },
            [this] { return m_currentAlbum; });
        made->setAccount(kEmail);
        return made;
    }

    QString picture(const QString &relative)
    {
        const QString path = m_files.filePath(relative);
        QDir().mkpath(QFileInfo(path).path());
        EXPECT_TRUE(writeJpeg(path, quadrants(64, 48)));
        return path;
    }

    static QString sheetText(DraftsWorkflow &drafts)
    {
        return drafts.progressSheet().findChild<QLabel *>("progressSheet_Text")->text();
    }

    QString m_currentAlbum = QStringLiteral("");
    QString m_answer;
    QStringList m_alerts;
};

TEST_F(DraftsWorkflowTest, FilesHandedOverTogetherMakeOneImportAndTheTopLevelTakesFoldersOnly)
{
    auto drafts = workflow();
    QSignalSpy imports(drafts.get(), &DraftsWorkflow::importFinished);
    QSignalSpy statuses(drafts.get(), &DraftsWorkflow::statusShown);
    QSignalSpy statusesHidden(drafts.get(), &DraftsWorkflow::statusHidden);
    drafts->openFile(picture("top.jpg"));
    EXPECT_TRUE(drafts->filesToImport().isEmpty()) << "a file at the top level is not taken";
    picture("Folder/in.jpg");
    drafts->openFile(m_files.filePath("Folder"));
    ASSERT_TRUE(imports.wait());
    ASSERT_EQ(drafts->store().records("").size(), 1);

    m_currentAlbum = drafts->store().records("")[0].toMap().value("UniqueIdentifier").toString();
    for (const char *name : {"one.jpg", "two.jpg", "three.jpg"})
        drafts->openFile(picture(name));
    ASSERT_TRUE(imports.wait());
    EXPECT_EQ(imports.count(), 2);
    EXPECT_EQ(drafts->store().records(m_currentAlbum).size(), 4);
    EXPECT_EQ(sheetText(*drafts), "Importing picture 3 of 3");
    EXPECT_FALSE(drafts->progressSheet().isVisible());
    ASSERT_EQ(statuses.count(), 2);
    EXPECT_EQ(statuses.at(1).at(0), "Inserting files...");
    EXPECT_EQ(statusesHidden.count(), 2);

    // Every change is on disk at once, for the account that made it.
    drafts.reset();
    const std::optional<DraftsFile::Contents> saved = DraftsFile::load();
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->account, kEmail);
    EXPECT_EQ(saved->store.numberOfDraftItems(), 5);
}

TEST_F(DraftsWorkflowTest, TheSheetsStopButtonEndsAnImportAndKeepsWhatWasMade)
{
    constexpr int kPictures = 20;
    for (int index = 0; index < kPictures; ++index) {
        const QString path = m_files.filePath(QStringLiteral("Many/p%1.jpg").arg(index));
        QDir().mkpath(QFileInfo(path).path());
        ASSERT_TRUE(writeJpeg(path, quadrants(1600, 1200)));
    }
    const auto drafts = workflow();
    auto *bar = drafts->progressSheet().findChild<QProgressBar *>();
    auto *stop = drafts->progressSheet().findChild<QPushButton *>("progressSheet_stop");
    ASSERT_TRUE(bar && stop);
    QObject::connect(bar, &QProgressBar::valueChanged, stop, [stop](int value) {
        if (value == 1)
            stop->click();
    });
    QSignalSpy imports(drafts.get(), &DraftsWorkflow::importFinished);
    drafts->importFiles({m_files.filePath("Many")});
    ASSERT_TRUE(imports.wait());
    const QString many
        = drafts->store().records("")[0].toMap().value("UniqueIdentifier").toString();
    const qsizetype kept = drafts->store().records(many).size();
    EXPECT_GE(kept, 1);
    EXPECT_LT(kept, kPictures);
    EXPECT_FALSE(drafts->progressSheet().isVisible());
}

TEST_F(DraftsWorkflowTest, ACommitCutShortIsOfferedBackAndGoesOnWithoutDuplicates)
{
    QString albumId;
    {
        const auto drafts = workflow();
        picture("Trip/a.jpg");
        picture("Trip/b.jpg");
        drafts->importFiles({m_files.filePath("Trip")});
        ASSERT_TRUE(waitForSignal(drafts.get(), &DraftsWorkflow::importFinished));
        const QVariantMap trip = drafts->store().records("")[0].toMap();
        const QVariantMap a
            = drafts->store().records(trip.value("UniqueIdentifier").toString())[0].toMap();
        // The service got the album and the first picture; the drafts file says only the album.
        albumId = *oruNetworkUpload::uploadFolderItem(*m_network, oruItem::initWithAsset(trip), "");
        drafts->store().albumCreated(trip.value("UniqueIdentifier").toString(), albumId);
        ASSERT_TRUE(
            oruNetworkUpload::uploadPictureAsset(*m_network, oruItem::initWithAsset(a), albumId));
        DraftsWriter writer;
        writer.schedule(drafts->store().toVariantMap(), kEmail, true);
    }

    const auto other = workflow();
    EXPECT_FALSE(other->offerRestore("bob@example.com", *m_network));
    EXPECT_TRUE(m_alerts.isEmpty());

    const auto restored = workflow();
    QSignalSpy commits(restored.get(), &DraftsWorkflow::commitFinished);
    QSignalSpy statuses(restored.get(), &DraftsWorkflow::statusShown);
    QSignalSpy statusesHidden(restored.get(), &DraftsWorkflow::statusHidden);
    ASSERT_TRUE(restored->offerRestore(kEmail, *m_network));
    EXPECT_EQ(m_alerts.value(0), "Restore 2 unsent drafts?");
    ASSERT_TRUE(commits.wait());
    EXPECT_TRUE(restored->store().isEmpty());
    EXPECT_EQ(sheetText(*restored), "Uploading item 2 of 2");
    ASSERT_EQ(statuses.count(), 2);
    EXPECT_EQ(statuses.at(0).at(0), "Uploading albums...");
    EXPECT_EQ(statuses.at(1).at(0), "Uploading pictures...");
    EXPECT_EQ(statusesHidden.count(), 1);
    EXPECT_EQ(assetsIn("").size(), 1);
    EXPECT_EQ(m_network->getAssets(albumId)->size(), 2);
    restored->flush();
    EXPECT_FALSE(QFile::exists(DraftsFile::path()));
}

TEST_F(DraftsWorkflowTest, RefusedDraftsAreReportedAndDiscardedOffersLeaveNothing)
{
    const auto drafts = workflow();
    m_currentAlbum = "NO-SUCH-ALBUM";
    drafts->addDraft(oruItem::initWithFile(picture("p.jpg"), 0).asset());
    QSignalSpy commits(drafts.get(), &DraftsWorkflow::commitFinished);
    ASSERT_TRUE(drafts->commit(*m_network));
    ASSERT_TRUE(commits.wait());
    EXPECT_EQ(m_alerts.value(0), "1 item could not be uploaded.");
    EXPECT_TRUE(m_alerts.value(1).contains("p.jpg: ")) << m_alerts.value(1).toStdString();
    EXPECT_EQ(drafts->store().numberOfDraftItems(), 1);

    m_alerts.clear();
    m_answer = "Discard";
    const auto next = workflow();
    EXPECT_FALSE(next->offerRestore(kEmail, *m_network));
    EXPECT_EQ(m_alerts.value(0), "Restore 1 unsent draft?");
    EXPECT_TRUE(next->store().isEmpty());
}

} // namespace
