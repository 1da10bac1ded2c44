// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/common/RefServiceProcess.h"
#include "tests/refservice/SoapTestClient.h"

#include <gtest/gtest.h>

namespace pondrel {

namespace {

const QString kHome = "AAAAAAAA-0000-0000-0000-000000000001";
const QString kLaptop = "AAAAAAAA-0000-0000-0000-000000000002";

struct Listing
{
    QList<pugi::xml_node> folders;
    QList<pugi::xml_node> pictures;
    SoapResult reply;
};

Listing list(const SoapTestClient &soap, const QString &session, const QString &parent)
{
    Listing listing;
    listing.reply = soap.getAssets(session, parent);
    for (pugi::xml_node node : listing.reply.resultNode().child("Assets").children()) {
        if (QLatin1String(node.name()) == QLatin1String("FolderAsset"))
            listing.folders.append(node);
        else if (QLatin1String(node.name()) == QLatin1String("PictureFileAsset"))
            listing.pictures.append(node);
    }
    return listing;
}

SoapParameters with(SoapParameters parameters, const QString &name, const QString &value)
{
    for (auto &parameter : parameters) {
        if (parameter.first == name)
            parameter.second = value;
    }
    return parameters;
}

class AssetTreeTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(service.start()) << service.errorMsg().toStdString();
        soap = std::make_unique<SoapTestClient>(service.baseUrl());
        ASSERT_TRUE(soap->createAccount("ann@example.org", "password1").ok());
        ASSERT_TRUE(soap->registerComputer(kHome).ok());
        ASSERT_TRUE(soap->registerComputer(kLaptop).ok());
        home = soap->signOn(kHome, "ann@example.org", "password1").result();
        laptop = soap->signOn(kLaptop, "ann@example.org", "password1").result();
        ASSERT_FALSE(home.isEmpty());
        ASSERT_FALSE(laptop.isEmpty());
    }

    // A publishing operation on one asset: the session, then the asset under its parameter name.
    SoapResult call(const char *operation, const QString &session, const char *assetParameter,
        const QString &asset, const SoapParameters &more = {}) const
    {
        return soap->inSession(operation, session, SoapParameters {{assetParameter, asset}} + more);
    }

    QString folder(const QString &session, const QString &parent, const QString &name)
    {
        const SoapResult created = soap->createFolder(session, parent, name);
        EXPECT_TRUE(created.ok()) << created.fault.toStdString();
        return created.result();
    }

    RefServiceProcess service;
    std::unique_ptr<SoapTestClient> soap;
    QString home;
    QString laptop;
};

TEST_F(AssetTreeTest, ThreeLevelsWithPicturesAndEveryField)
{
    const Listing empty = list(*soap, home, QString());
    ASSERT_TRUE(empty.reply.ok());
    EXPECT_TRUE(empty.reply.resultNode().child("Assets"));
    EXPECT_FALSE(empty.reply.resultNode().child("Assets").first_child());

    const QString trips = folder(home, QString(), "Trips");
    const QString italy = folder(home, trips, "Italy");
    const QString rome = folder(home, italy, "Rome & <Vatican>");
    const SoapResult picture = soap->createPicture(home, rome, "forum.jpg", "MONIKER-1");
    ASSERT_TRUE(picture.ok()) << picture.fault.toStdString();
    ASSERT_TRUE(soap->createPicture(home, italy, "map.jpg").ok());
    ASSERT_TRUE(soap->createPicture(home, italy, "coast.jpg").ok());

    const Listing root = list(*soap, home, QString());
    ASSERT_EQ(root.folders.size(), 1);
    expectChildren(root.folders[0], {{"Name", "Trips"}, {"Children", "1"}});

    const Listing second = list(*soap, home, italy);
    ASSERT_EQ(second.folders.size(), 1);
    ASSERT_EQ(second.pictures.size(), 2);
    EXPECT_EQ(childText(second.pictures[0], "Name"), "map.jpg");
    EXPECT_EQ(childText(second.pictures[1], "Name"), "coast.jpg");
    const pugi::xml_node album = second.folders[0];
    expectChildren(album,
        {{"UniqueIdentifier", rome}, {"Name", "Rome & <Vatican>"}, {"Description", ""},
            {"AssetType", "Local"}, {"Children", "1"},
            {"AutomaticThumbnailOptions", "ThumbnailFirstImage"},
            {"FolderAssetSharingPermissions", "0"}, {"FolderAssetRenditions", ""}});
    EXPECT_FALSE(album.child("FolderAssetExportLinks"));
    EXPECT_FALSE(album.child("FolderAssetSymbolicLinks"));

    const Listing third = list(*soap, home, rome);
    ASSERT_EQ(third.pictures.size(), 1);
    const pugi::xml_node record = third.pictures[0];
    expectChildren(record,
        {{"UniqueIdentifier", picture.result()}, {"Name", "forum.jpg"},
            {"Description", "a picture"}, {"MediaType", "image/jpeg"}, {"Rating", "Good"},
            {"FileCreationDateUtc", "2008-03-01T14:05:09+00:00"},
            {"FileLastModificationDateUtc", "2008-03-02T10:00:00+00:00"},
            {"DatePictureTakenUtc", "2008-03-01T13:00:00+00:00"},
            {"ReplacementDateUtc", "0001-01-01T00:00:00+00:00"}, {"FileSize", "123456"},
            {"Hash", "0123456789abcdef0123456789abcdef01234567"},
            {"PictureFileAssetSharingPermissions", "7"}, {"SourceWidth", "2000"},
            {"SourceHeight", "3000"}, {"RotateFlipType", "Rotate90FlipNone"},
            {"RetrievalAttemptFailed", "false"}});
    EXPECT_TRUE(record.child("PictureFileAssetRenditions"));
    EXPECT_FALSE(record.child("PictureFileAssetRenditions").first_child());
    EXPECT_FALSE(QDateTime::fromString(childText(record, "CreationDateUtc"), Qt::ISODate).isNull());
}

TEST_F(AssetTreeTest, PictureWithoutTakenDateAndBadParameters)
{
    const QString album = folder(home, QString(), "Album");
    // No date taken; a size over 4 GiB and every permission bit.
    SoapParameters parameters = SoapTestClient::pictureParameters(home, album, "a.jpg");
    ASSERT_EQ(parameters.takeLast().first, "datePictureTakenUtc");
    parameters
        = with(with(parameters, "fileSize", "5000000000"), "sharingPermissions", "4294967295");
    const SoapResult created = soap->publishing("CreatePictureFileAsset", parameters);
    ASSERT_TRUE(created.ok()) << created.fault.toStdString();
    expectChildren(list(*soap, home, album).pictures.value(0),
        {{"DatePictureTakenUtc", "0001-01-01T00:00:00+00:00"}, {"FileSize", "5000000000"},
            {"PictureFileAssetSharingPermissions", "4294967295"}});

    const QList<QPair<QString, QString>> badValues
        = {{"width", "wide"}, {"rating", "Superb"}, {"creationDateUtc", "yesterday"},
            {"sharingPermissions", "-1"}, {"parentIdentifier", "no-such-album"}};
    for (const auto &[name, value] : badValues) {
        EXPECT_FALSE(soap->publishing("CreatePictureFileAsset", with(parameters, name, value)).ok())
            << name.toStdString();
    }
    EXPECT_EQ(list(*soap, home, album).pictures.size(), 1);
}

TEST_F(AssetTreeTest, RenameRatePermissionsThumbnailOptions)
{
    const QString album = folder(home, QString(), "Before");
    const QString picture = soap->createPicture(home, album, "p.jpg").result();

    struct Change
    {
        const char *operation;
        const char *parameter;
        QString asset;
        SoapParameters more;
        bool accepted;
    };
    // A picture is not an album: its permissions go through the picture operation only.
    const QList<Change> changes = {
        {"RenameAsset", "namedAssetIdentifier", album,
            {{"name", "After"}, {"description", "Renamed album"}}, true},
        {"RenameAsset", "namedAssetIdentifier", album, {{"name", "  "}, {"description", ""}},
            false},
        {"SetAssetRating", "assetIdentifier", picture, {{"rating", "Outstanding"}}, true},
        {"SetFolderAssetSharingPermissions", "folderAssetIdentifier", album,
            {{"sharingPermissions", "3"}}, true},
        {"SetPictureFileAssetSharingPermissions", "pictureFileAssetIdentifier", picture,
            {{"sharingPermissions", "12"}}, true},
        {"SetFolderAssetSharingPermissions", "folderAssetIdentifier", picture,
            {{"sharingPermissions", "3"}}, false},
        {"SetFolderAssetAutomaticThumbnailOptions", "folderIdentifier", album,
            {{"automaticThumbnailOptions", "ThumbnailLastImage"}}, true},
        {"SetFolderAssetAutomaticThumbnailOptions", "folderIdentifier", album,
            {{"automaticThumbnailOptions", "ThumbnailSome"}}, false},
    };
    for (const Change &change : changes) {
        EXPECT_EQ(call(change.operation, home, change.parameter, change.asset, change.more).ok(),
            change.accepted)
            << change.operation << ' ' << change.more.value(0).second.toStdString();
    }

    expectChildren(list(*soap, home, QString()).folders.value(0),
        {{"Name", "After"}, {"Description", "Renamed album"},
            {"FolderAssetSharingPermissions", "3"},
            {"AutomaticThumbnailOptions", "ThumbnailLastImage"}});
    expectChildren(list(*soap, home, album).pictures.value(0),
        {{"Rating", "Outstanding"}, {"PictureFileAssetSharingPermissions", "12"}});
}

// Consecutive records of a listing share equal texts: a text of the same length that differs
// must still be the record's own.
TEST_F(AssetTreeTest, ConsecutiveRecordsKeepTheirOwnValues)
{
    const QString album = folder(home, QString(), "Album");
    const QStringList ratings = {"Good", "Poor", "Poor", "Good"};
    for (qsizetype index = 0; index < ratings.size(); ++index) {
        const QString picture
            = soap->createPicture(home, album, QStringLiteral("%1.jpg").arg(index)).result();
        ASSERT_TRUE(
            call("SetAssetRating", home, "assetIdentifier", picture, {{"rating", ratings[index]}})
                .ok());
    }
    const Listing listing = list(*soap, home, album);
    ASSERT_EQ(listing.pictures.size(), ratings.size());
    for (qsizetype index = 0; index < ratings.size(); ++index) {
        expectChildren(listing.pictures[index],
            {{"Name", QStringLiteral("%1.jpg").arg(index)}, {"Rating", ratings[index]}});
    }
}

TEST_F(AssetTreeTest, DestroyTakesEverythingInside)
{
    const QString top = folder(home, QString(), "Top");
    const QString middle = folder(home, top, "Middle");
    const QString bottom = folder(home, middle, "Bottom");
    const QString deep = soap->createPicture(home, bottom, "deep.jpg").result();
    const QString keep = folder(home, QString(), "Keep");
    const QString kept = soap->createPicture(home, keep, "kept.jpg").result();
    const QString loose = soap->createPicture(home, keep, "loose.jpg").result();

    EXPECT_TRUE(call("DestroyPictureFileAsset", home, "assetIdentifier", loose).ok());
    EXPECT_FALSE(call("DestroyFolderAsset", home, "folderIdentifier", kept).ok());
    ASSERT_TRUE(call("DestroyFolderAsset", home, "folderIdentifier", top).ok());

    const Listing root = list(*soap, home, QString());
    ASSERT_EQ(root.folders.size(), 1);
    EXPECT_EQ(childText(root.folders[0], "UniqueIdentifier"), keep);
    EXPECT_EQ(list(*soap, home, keep).pictures.size(), 1);
    EXPECT_FALSE(list(*soap, home, middle).reply.ok());
    EXPECT_FALSE(list(*soap, home, bottom).reply.ok());
    EXPECT_FALSE(call("SetAssetRating", home, "assetIdentifier", deep, {{"rating", "Poor"}}).ok());
}

TEST_F(AssetTreeTest, LocalAndRemoteAcrossTwoComputersAndNothingForAnotherAccount)
{
    const QString fromHome = folder(home, QString(), "From home");
    folder(laptop, QString(), "From laptop");
    const QString picture = soap->createPicture(laptop, fromHome, "laptop.jpg").result();
    ASSERT_FALSE(picture.isEmpty());

    const auto typeOf = [&](const QString &session, const QString &parent, const QString &name) {
        const Listing listing = list(*soap, session, parent);
        for (const auto &node : listing.folders + listing.pictures) {
            if (childText(node, "Name") == name)
                return childText(node, "AssetType");
        }
        return QStringLiteral("missing");
    };
    EXPECT_EQ(typeOf(home, QString(), "From home"), "Local");
    EXPECT_EQ(typeOf(home, QString(), "From laptop"), "Remote");
    EXPECT_EQ(typeOf(laptop, QString(), "From home"), "Remote");
    EXPECT_EQ(typeOf(laptop, QString(), "From laptop"), "Local");
    EXPECT_EQ(typeOf(home, fromHome, "laptop.jpg"), "Remote");
    EXPECT_EQ(typeOf(laptop, fromHome, "laptop.jpg"), "Local");

    // Another account sees and changes nothing of them.
    const QString album = fromHome;
    ASSERT_TRUE(soap->createAccount("eve@example.org", "password2").ok());
    const QString eve = soap->signOn(kLaptop, "eve@example.org", "password2").result();

    EXPECT_TRUE(list(*soap, eve, QString()).folders.isEmpty());
    const QString nowhere = "00000000-dead-beef-0000-000000000000";
    const SoapResult foreign = list(*soap, eve, album).reply;
    EXPECT_FALSE(foreign.ok());
    // The refusal reads the same as for an identifier that exists nowhere.
    EXPECT_EQ(foreign.faultMessage().replace(album, "X"),
        list(*soap, eve, nowhere).reply.faultMessage().replace(nowhere, "X"));
    EXPECT_FALSE(call(
        "RenameAsset", eve, "namedAssetIdentifier", album, {{"name", "Mine"}, {"description", ""}})
                     .ok());
    EXPECT_FALSE(call("DestroyPictureFileAsset", eve, "assetIdentifier", picture).ok());
    EXPECT_FALSE(soap->createFolder(eve, album, "Intruder").ok());
    EXPECT_EQ(list(*soap, home, album).pictures.size(), 1);
    EXPECT_EQ(typeOf(home, QString(), "Mine"), "missing");
}

} // namespace

} // namespace pondrel
