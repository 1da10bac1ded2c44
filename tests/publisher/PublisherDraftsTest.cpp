// SPDX-License-Identifier: GPL-2.0-or-later
// The drafts in the real Publisher window, against a reference service of its own.
#include "tests/common/PrivateBus.h"
#include "tests/common/RefServiceProcess.h"
#include "tests/common/ScratchHome.h"
#include "tests/imaging/TestPictures.h"

#include "client/oruNotifications.h"
#include "model/DraftsFile.h"
#include "publisher/app/oruController.h"
#include "publisher/dialogs/oruAlertPresenter.h"
#include "publisher/preview/ORPhotoView.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
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

    QString importAndWait(const QString &folder)
    {
        QSignalSpy imported(&m_controller->drafts(), &DraftsWorkflow::importFinished);
        m_controller->openUris({QUrl::fromLocalFile(m_files.filePath(folder)).toString()});
        EXPECT_TRUE(imported.wait(60'000));
        const QVariantList top = m_controller->draftAssetsByAlbum().records("");
        return top.isEmpty() ? QString() : top.last().toMap().value("UniqueIdentifier").toString();
    }

    void enterDraftAlbum(const QString &identifier)
    {
        oruItem album;
        album.setUniqueID(identifier);
        album.setIsFolder(true);
        album.setIsDraft(true);
        m_controller->goDown(album);
    }

    // Name -> record of what the service holds under parent, asked with a client of the test's.
    QMap<QString, QVariantMap> assetsIn(const QString &parent)
    {
        oruNetwork client;
        EXPECT_TRUE(client.signOn(kEmail, "secret1")) << client.errorMsg().toStdString();
        QMap<QString, QVariantMap> byName;
        for (const QVariant &record : client.getAssets(parent).value_or(QVariantList()))
            byName.insert(record.toMap().value("Name").toString(), record.toMap());
        return byName;
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
    const QString oddName = QStringLiteral("Dawn <&> \"rise\" 'n' \U0001F304");
    picture("Trip/" + oddName + ".jpg");
    picture("Trip/Day1/b.jpg");
    QSignalSpy imported(&m_controller->drafts(), &DraftsWorkflow::importFinished);
    m_controller->openUris({QUrl::fromLocalFile(m_files.filePath("Trip")).toString()});
    ASSERT_TRUE(imported.wait(30'000));
    QSignalSpy refreshed(m_controller.get(), &oruController::refreshed);
    ASSERT_TRUE(refreshed.wait(30'000));
    EXPECT_EQ(draftNames(), QStringList {"Trip"});

    m_controller->alerts().queueDialogAnswer([&oddName](QDialog &dialog) {
        dialog.findChild<QLineEdit *>("nameField")->setText(oddName);
        QTest::mouseClick(dialog.findChild<QPushButton *>("okButton"), Qt::LeftButton);
    });
    m_controller->newAlbum();
    EXPECT_EQ(m_controller->draftAssetsByAlbum().records("").size(), 2);

    oruNotifications agentSide(m_bus.connection());
    int visits = 0;
    agentSide.observe(oruNotifications::kVisit, oruNotifications::kAgentObject,
        [&visits](const oruNotification &) { ++visits; });
    QSignalSpy committed(&m_controller->drafts(), &DraftsWorkflow::commitFinished);
    ASSERT_TRUE(m_controller->activateAction("commit"));
    ASSERT_TRUE(committed.wait(60'000));
    EXPECT_TRUE(m_controller->draftAssetsByAlbum().isEmpty());
    EXPECT_TRUE(m_controller->currentAlbum().isRoot());
    m_controller->saveDraftAssets();
    EXPECT_FALSE(QFile::exists(DraftsFile::path())) << "nothing left to offer back";

    ASSERT_TRUE(refreshed.wait(30'000));
    QTRY_COMPARE_WITH_TIMEOUT(visits, 1, 10'000);
    QStringList local;
    for (const oruItem &item : m_controller->pictureViewArrayForTag(oruController::LocalTag))
        local.append(item.name());
    local.sort();
    EXPECT_EQ(local, (QStringList {oddName, "Trip"}));
    EXPECT_TRUE(draftNames().isEmpty());
    const QMap<QString, QVariantMap> inTrip
        = assetsIn(assetsIn("").value("Trip").value("UniqueIdentifier").toString());
    EXPECT_EQ(inTrip.keys(), (QStringList {oddName + ".jpg", "Day1"}));
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
    EXPECT_EQ(store.record(aId)->value("PictureFileAssetSharingPermissions").toInt() & 3, 3)
        << "a dropped picture starts from the permissions of the album shown (3 at the top)";
    EXPECT_EQ(m_controller->pictureViewArrayForTag(oruController::DraftTag)[1].orientation(), 8u);

    // The full view's button turns the picture shown there, its record and the grid's copy.
    m_controller->displayNextPic();
    const ORPhotoView &fullView = m_controller->photoView();
    const QString bId = m_controller->pictureViewArrayForTag(oruController::DraftTag)[2].uniqueID();
    ASSERT_EQ(fullView.item().uniqueID(), bId);
    QTRY_VERIFY_WITH_TIMEOUT(fullView.item().previewPic().has_value(), 30'000);
    const QSize upright = fullView.item().previewPic()->size();
    ASSERT_GT(upright.width(), upright.height());
    m_controller->fullViewButton("rotateLeft")->click();
    EXPECT_EQ(fullView.item().previewPic()->size(), upright.transposed());
    EXPECT_EQ(fullView.item().orientation(), 8u);
    EXPECT_EQ(store.record(bId)->value("RotateFlipType"), "Rotate270FlipNone");
    const oruItem &gridB = m_controller->pictureViewArrayForTag(oruController::DraftTag)[2];
    EXPECT_EQ(gridB.orientation(), 8u);
    ASSERT_TRUE(gridB.thumbnailPic().has_value());
    EXPECT_GT(gridB.thumbnailPic()->height(), gridB.thumbnailPic()->width());
    m_controller->goBrowser();

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

namespace {

TEST_F(PublisherDraftsTest, TheOpenPanelTakesFoldersAndPicturesInAnAlbumAndOnlyFoldersAtTheTop)
{
    picture("Pick/Sub/s.jpg");
    picture("Pick/x.jpg");
    picture("Pick/y.jpg");
    const auto choose = [this](const QString &selection) {
        m_controller->alerts().queueDialogAnswer([this, selection](QDialog &dialog) {
            auto &panel = dynamic_cast<QFileDialog &>(dialog);
            panel.setDirectory(m_files.filePath("Pick"));
            panel.selectFile(selection);
            panel.findChild<QDialogButtonBox *>("buttonBox")
                ->button(QDialogButtonBox::Open)
                ->click();
        });
    };
    QSignalSpy imported(&m_controller->drafts(), &DraftsWorkflow::importFinished);
    DraftStore &store = m_controller->draftAssetsByAlbum();

    choose("x.jpg");
    m_controller->importPicture();
    EXPECT_EQ(m_controller->alerts().dialogHistory(), QStringList {"OpenPanel"});
    EXPECT_TRUE(store.isEmpty()) << "a picture cannot be chosen at the top level";

    choose("Sub");
    m_controller->importPicture();
    ASSERT_TRUE(imported.wait(30'000));
    ASSERT_EQ(store.records("").size(), 1);
    const QString subId = store.records("")[0].toMap().value("UniqueIdentifier").toString();

    enterDraftAlbum(subId);
    choose(R"("Sub" "x.jpg" "y.jpg")");
    m_controller->importPicture();
    ASSERT_TRUE(imported.wait(30'000));
    QStringList names;
    for (const QVariant &record : store.records(subId))
        names.append(record.toMap().value("Name").toString());
    EXPECT_EQ(names, (QStringList {"s.jpg", "Sub", "x.jpg", "y.jpg"}));
}

TEST_F(PublisherDraftsTest, AFolderOfTwentyThousandEntriesIsImportedWhileTheEventLoopRuns)
{
    const QString folder = m_files.filePath("Big");
    ASSERT_TRUE(QDir().mkpath(folder));
    for (int index = 0; index < 19'890; ++index) {
        QFile note(folder + QStringLiteral("/note%1.txt").arg(index));
        ASSERT_TRUE(note.open(QIODevice::WriteOnly));
        note.write("x");
    }
    for (int index = 0; index < 100; ++index)
        QFile(folder + QStringLiteral("/empty%1.jpg").arg(index)).open(QIODevice::WriteOnly);
    for (int index = 0; index < 10; ++index)
        picture(QStringLiteral("Big/p%1.jpg").arg(index));

    // Ticks while the folder is walked, before its pictures are counted and the sheet shows:
    // none would come if the walk held the event loop.
    int ticksWhileWalking = 0;
    QTimer ticker;
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (m_controller->drafts().isBusy() && m_controller->statusText() != "Inserting files...")
            ++ticksWhileWalking;
    });
    ticker.start();
    const QString bigId = importAndWait("Big");
    ticker.stop();
    EXPECT_GT(ticksWhileWalking, 0);
    EXPECT_EQ(m_controller->draftAssetsByAlbum().records(bigId).size(), 10);
    ASSERT_FALSE(m_controller->alerts().alertHistory().isEmpty());
    const oruAlertRequest &report = m_controller->alerts().alertHistory().last();
    EXPECT_EQ(report.title, "Some files could not be imported.");
    EXPECT_TRUE(report.message.endsWith("…and 90 more.")) << report.message.toStdString();
    EXPECT_NE(m_controller->statusText(), "Inserting files...");
}

TEST_F(PublisherDraftsTest, TheServiceGoingAwayMidCommitLosesNothingAndTheNextUploadAddsNoDuplicate)
{
    constexpr int kPictures = 40;
    for (int index = 0; index < kPictures; ++index)
        picture(QStringLiteral("Trip/p%1.jpg").arg(index, 2, 10, QLatin1Char('0')));
    importAndWait("Trip");
    DraftStore &store = m_controller->draftAssetsByAlbum();
    ASSERT_EQ(store.numberOfDraftItems(), kPictures + 1);

    auto *bar = m_controller->drafts().progressSheet().findChild<QProgressBar *>();
    ASSERT_NE(bar, nullptr);
    QObject::connect(bar, &QProgressBar::valueChanged, [this](int value) {
        if (value >= 3 && m_service.isRunning())
            m_service.stop();
    });
    QSignalSpy committed(&m_controller->drafts(), &DraftsWorkflow::commitFinished);
    ASSERT_TRUE(m_controller->activateAction("commit"));
    ASSERT_TRUE(committed.wait(60'000));
    ASSERT_FALSE(m_service.isRunning());
    const int unsent = store.numberOfDraftItems();
    ASSERT_GT(unsent, 0);
    EXPECT_EQ(m_controller->alerts().alertHistory().last().title,
        unsent == 1 ? QStringLiteral("1 item could not be uploaded.")
                    : QStringLiteral("%1 items could not be uploaded.").arg(unsent));
    m_controller->saveDraftAssets();
    const std::optional<DraftsFile::Contents> saved = DraftsFile::load();
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->store.numberOfDraftItems(), unsent);

    bar->disconnect();
    ASSERT_TRUE(m_service.restart()) << m_service.errorMsg().toStdString();
    qputenv("PONDREL_SERVICE_URL", m_service.baseUrl().toUtf8());
    ASSERT_TRUE(m_controller->activateAction("commit"));
    ASSERT_TRUE(committed.wait(60'000));
    EXPECT_TRUE(store.isEmpty());
    const QMap<QString, QVariantMap> top = assetsIn("");
    ASSERT_EQ(top.keys(), QStringList {"Trip"});
    const QString tripId = top.value("Trip").value("UniqueIdentifier").toString();
    oruNetwork client;
    ASSERT_TRUE(client.signOn(kEmail, "secret1"));
    EXPECT_EQ(client.getAssets(tripId).value_or(QVariantList()).size(), kPictures)
        << "every picture once";
}

} // namespace
