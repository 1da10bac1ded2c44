// SPDX-License-Identifier: GPL-2.0-or-later
// The drafts in the real Publisher window, against a reference service of its own.
#include "tests/common/PrivateBus.h"
#include "tests/common/RefServiceProcess.h"
#include "tests/common/ScratchHome.h"
#include "tests/imaging/TestPictures.h"

#include "model/DraftsFile.h"
#include "publisher/app/oruController.h"
#include "publisher/dialogs/oruAlertPresenter.h"

#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

using namespace pondrel;
using namespace TestPictures;

namespace {

class PublisherDraftsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_bus.isValid()) << "dbus-daemon is needed for the Publisher's bus";
        ASSERT_TRUE(m_service.start()) << m_service.errorMsg().toStdString();
        qputenv("PONDREL_SERVICE_URL", m_service.baseUrl().toUtf8());
        qputenv("PONDREL_AGENT_PROGRAM", "/bin/true");
        oruNetwork network;
        ASSERT_TRUE(network.registerComputerIfNeeded());
        ASSERT_TRUE(network.createNewAccount("Ann", "Lee", "secret1", kEmail));
        m_controller = std::make_unique<oruController>(m_bus.connection());
        ASSERT_TRUE(m_controller->awakeFromNib());
        m_controller->alerts().setUnattended(true);
        QSignalSpy signedOn(m_controller.get(), &oruController::signOnFinished);
        m_controller->loginWithUser(kEmail, "secret1");
        ASSERT_TRUE(signedOn.wait(30'000));
        ASSERT_TRUE(signedOn.at(0).at(0).toBool());
        QSignalSpy refreshed(m_controller.get(), &oruController::refreshed);
        ASSERT_TRUE(refreshed.wait(30'000));
    }
    void TearDown() override
    {
        m_controller.reset();
        qunsetenv("PONDREL_SERVICE_URL");
        qunsetenv("PONDREL_AGENT_PROGRAM");
    }

    QString picture(const QString &relative)
    {
        const QString path = m_files.filePath(relative);
        QDir().mkpath(QFileInfo(path).path());
        EXPECT_TRUE(writeJpeg(path, quadrants(64, 48)));
        return path;
    }

    QStringList draftNames()
    {
        QStringList names;
        for (const oruItem &item : m_controller->pictureViewArrayForTag(oruController::DraftTag))
            names.append(item.name());
        return names;
    }

    static inline const QString kEmail = QStringLiteral("ann@example.com");
    ScratchHome m_home;
    PrivateBus m_bus;
    RefServiceProcess m_service;
    QTemporaryDir m_files;
    std::unique_ptr<oruController> m_controller;
};

TEST_F(PublisherDraftsTest, DroppedFolderAndNewAlbumAreCommittedAndTheBrowserReturnsToTheTop)
{
    picture("Trip/a.jpg");
    picture("Trip/Day1/b.jpg");
    QSignalSpy imported(&m_controller->drafts(), &DraftsWorkflow::importFinished);
    m_controller->openUris({QUrl::fromLocalFile(m_files.filePath("Trip")).toString()});
    ASSERT_TRUE(imported.wait(30'000));
    QSignalSpy refreshed(m_controller.get(), &oruController::refreshed);
    ASSERT_TRUE(refreshed.wait(30'000));
    EXPECT_EQ(draftNames(), QStringList {"Trip"});

    m_controller->alerts().queueDialogAnswer([](QDialog &dialog) {
        QTest::keyClicks(dialog.findChild<QLineEdit *>("nameField"), "Empty <&> album");
        QTest::mouseClick(dialog.findChild<QPushButton *>("okButton"), Qt::LeftButton);
    });
    m_controller->newAlbum();
    EXPECT_EQ(m_controller->draftAssetsByAlbum().records("").size(), 2);

    QSignalSpy committed(&m_controller->drafts(), &DraftsWorkflow::commitFinished);
    ASSERT_TRUE(m_controller->activateAction("commit"));
    ASSERT_TRUE(committed.wait(60'000));
    EXPECT_TRUE(m_controller->draftAssetsByAlbum().isEmpty());
    EXPECT_TRUE(m_controller->currentAlbum().isRoot());
    m_controller->saveDraftAssets();
    EXPECT_FALSE(QFile::exists(DraftsFile::path())) << "nothing left to offer back";

    ASSERT_TRUE(refreshed.wait(30'000));
    QStringList local;
    for (const oruItem &item : m_controller->pictureViewArrayForTag(oruController::LocalTag))
        local.append(item.name());
    local.sort();
    EXPECT_EQ(local, (QStringList {"Empty <&> album", "Trip"}));
    EXPECT_TRUE(draftNames().isEmpty());
}

TEST_F(PublisherDraftsTest, RotationTurnsADraftAndRemovalAsksThenTakesWholeSubtrees)
{
    picture("Trip/a.jpg");
    picture("Trip/b.jpg");
    picture("Trip/Day1/c.jpg");
    QSignalSpy imported(&m_controller->drafts(), &DraftsWorkflow::importFinished);
    m_controller->openUris({QUrl::fromLocalFile(m_files.filePath("Trip")).toString()});
    ASSERT_TRUE(imported.wait(30'000));
    DraftStore &store = m_controller->draftAssetsByAlbum();
    ASSERT_EQ(store.records("").size(), 1);
    const QString tripId = store.records("")[0].toMap().value("UniqueIdentifier").toString();
    oruItem trip;
    trip.setUniqueID(tripId);
    trip.setIsFolder(true);
    trip.setIsDraft(true);
    m_controller->goDown(trip);
    EXPECT_EQ(draftNames(), (QStringList {"Day1", "a.jpg", "b.jpg"}));

    MUPhotoView *drafts = m_controller->photoViewForTag(oruController::DraftTag);
    m_controller->didSetSelectionIndexes(drafts, IndexSet(1));
    m_controller->rotateLeft();
    const QString aId = m_controller->pictureViewArrayForTag(oruController::DraftTag)[1].uniqueID();
    EXPECT_EQ(store.record(aId)->value("RotateFlipType"), "Rotate270FlipNone");
    EXPECT_EQ(m_controller->pictureViewArrayForTag(oruController::DraftTag)[1].orientation(), 8u);

    store.updateRecord(aId, {{DraftStore::kCommitErrorKey, "Unknown album X."}});
    EXPECT_EQ(m_controller->toolTipAtIndex(drafts, 1), "Unknown album X.");
    EXPECT_EQ(m_controller->toolTipAtIndex(drafts, 2), "");

    m_controller->didSetSelectionIndexes(drafts, IndexSet::fromRange(0, 2));
    m_controller->removeItem();
    ASSERT_FALSE(m_controller->alerts().alertHistory().isEmpty());
    EXPECT_EQ(m_controller->alerts().alertHistory().last().title,
        "Are you sure you want to permanently delete this album and these pictures?");
    EXPECT_EQ(store.numberOfDraftItems(), 1) << "Day1 went with c.jpg beneath it";
    EXPECT_TRUE(draftNames().isEmpty());
}

} // namespace
