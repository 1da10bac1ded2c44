#include "RefServiceProcess.h"
#include "SoapTestClient.h"

#include <gtest/gtest.h>

namespace {

const QString kHome = QStringLiteral("AAAAAAAA-0000-0000-0000-000000000001");
const QString kLaptop = QStringLiteral("AAAAAAAA-0000-0000-0000-000000000002");

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

SoapResult call(const SoapTestClient &soap, const char *operation, const SoapParameters &parameters)
{
    return soap.publishing(QString::fromLatin1(operation), parameters);
}

class AssetTreeTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(service.start()) << service.errorMsg().toStdString();
        soap = std::make_unique<SoapTestClient>(service.baseUrl());
        ASSERT_TRUE(soap->createAccount(QStringLiteral("ann@example.org"), "password1").ok());
        ASSERT_TRUE(soap->registerComputer(kHome).ok());
        ASSERT_TRUE(soap->registerComputer(kLaptop).ok());
        home = soap->signOn(kHome, QStringLiteral("ann@example.org"), "password1").result();
        laptop = soap->signOn(kLaptop, QStringLiteral("ann@example.org"), "password1").result();
        ASSERT_FALSE(home.isEmpty());
        ASSERT_FALSE(laptop.isEmpty());
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

    const QString trips = folder(home, QString(), QStringLiteral("Trips"));
    const QString italy = folder(home, trips, QStringLiteral("Italy"));
    const QString rome = folder(home, italy, QStringLiteral("Rome & <Vatican>"));
    const SoapResult picture
        = soap->createPicture(home, rome, QStringLiteral("forum.jpg"), QStringLiteral("MONIKER-1"));
    ASSERT_TRUE(picture.ok()) << picture.fault.toStdString();
    ASSERT_TRUE(soap->createPicture(home, italy, QStringLiteral("map.jpg")).ok());
    ASSERT_TRUE(soap->createPicture(home, italy, QStringLiteral("coast.jpg")).ok());

    const Listing root = list(*soap, home, QString());
    ASSERT_EQ(root.folders.size(), 1);
    EXPECT_EQ(childText(root.folders[0], "Name"), QStringLiteral("Trips"));
    EXPECT_EQ(childText(root.folders[0], "Children"), QStringLiteral("1"));

    const Listing second = list(*soap, home, italy);
    ASSERT_EQ(second.folders.size(), 1);
    ASSERT_EQ(second.pictures.size(), 2);
    EXPECT_EQ(childText(second.pictures[0], "Name"), QStringLiteral("map.jpg"));
    EXPECT_EQ(childText(second.pictures[1], "Name"), QStringLiteral("coast.jpg"));
    const pugi::xml_node album = second.folders[0];
    EXPECT_EQ(childText(album, "UniqueIdentifier"), rome);
    EXPECT_EQ(childText(album, "Name"), QStringLiteral("Rome & <Vatican>"));
    EXPECT_TRUE(album.child("Description"));
    EXPECT_EQ(childText(album, "Description"), QString());
    EXPECT_EQ(childText(album, "AssetType"), QStringLiteral("Local"));
    EXPECT_EQ(childText(album, "AutomaticThumbnailOptions"), QStringLiteral("ThumbnailFirstImage"));
    EXPECT_EQ(childText(album, "FolderAssetSharingPermissions"), QStringLiteral("0"));
    EXPECT_TRUE(album.child("FolderAssetRenditions"));
    EXPECT_FALSE(album.child("FolderAssetExportLinks"));
    EXPECT_FALSE(album.child("FolderAssetSymbolicLinks"));

    const Listing third = list(*soap, home, rome);
    ASSERT_EQ(third.pictures.size(), 1);
    const pugi::xml_node record = third.pictures[0];
    EXPECT_EQ(childText(record, "UniqueIdentifier"), picture.result());
    EXPECT_EQ(childText(record, "Name"), QStringLiteral("forum.jpg"));
    EXPECT_EQ(childText(record, "Description"), QStringLiteral("a picture"));
    EXPECT_EQ(childText(record, "MediaType"), QStringLiteral("image/jpeg"));
    EXPECT_EQ(childText(record, "Rating"), QStringLiteral("Good"));
    EXPECT_EQ(
        childText(record, "FileCreationDateUtc"), QStringLiteral("2008-03-01T14:05:09+00:00"));
    EXPECT_EQ(childText(record, "FileLastModificationDateUtc"),
        QStringLiteral("2008-03-02T10:00:00+00:00"));
    EXPECT_EQ(
        childText(record, "DatePictureTakenUtc"), QStringLiteral("2008-03-01T13:00:00+00:00"));
    EXPECT_EQ(childText(record, "ReplacementDateUtc"), QStringLiteral("0001-01-01T00:00:00+00:00"));
    EXPECT_EQ(childText(record, "FileSize"), QStringLiteral("123456"));
    EXPECT_EQ(
        childText(record, "Hash"), QStringLiteral("0123456789abcdef0123456789abcdef01234567"));
    EXPECT_EQ(childText(record, "PictureFileAssetSharingPermissions"), QStringLiteral("7"));
    EXPECT_EQ(childText(record, "SourceWidth"), QStringLiteral("2000"));
    EXPECT_EQ(childText(record, "SourceHeight"), QStringLiteral("3000"));
    EXPECT_EQ(childText(record, "RotateFlipType"), QStringLiteral("Rotate90FlipNone"));
    EXPECT_EQ(childText(record, "RetrievalAttemptFailed"), QStringLiteral("false"));
    EXPECT_TRUE(record.child("PictureFileAssetRenditions"));
    EXPECT_FALSE(record.child("PictureFileAssetRenditions").first_child());
    EXPECT_FALSE(QDateTime::fromString(childText(record, "CreationDateUtc"), Qt::ISODate).isNull());
}

TEST_F(AssetTreeTest, PictureWithoutTakenDateAndBadParameters)
{
    const QString album = folder(home, QString(), QStringLiteral("Album"));
    SoapParameters parameters = {
        {QStringLiteral("sessionIdentifier"), home},
        {QStringLiteral("parentIdentifier"), album},
        {QStringLiteral("pictureName"), QStringLiteral("a.jpg")},
        {QStringLiteral("pictureDescription"), QString()},
        {QStringLiteral("mediaType"), QStringLiteral("image/jpeg")},
        {QStringLiteral("rating"), QStringLiteral("Unrated")},
        {QStringLiteral("creationDateUtc"), QStringLiteral("2008-03-01T14:05:09Z")},
        {QStringLiteral("lastModificationDateUtc"), QStringLiteral("2008-03-01T14:05:09Z")},
        {QStringLiteral("fileSize"), QStringLiteral("5000000000")},
        {QStringLiteral("hash"), QStringLiteral("ab")},
        {QStringLiteral("moniker"), QStringLiteral("M")},
        {QStringLiteral("sharingPermissions"), QStringLiteral("4294967295")},
        {QStringLiteral("width"), QStringLiteral("10")},
        {QStringLiteral("height"), QStringLiteral("20")},
        {QStringLiteral("rotateFlipType"), QStringLiteral("RotateNoneFlipNone")},
    };
    const SoapResult created = call(*soap, "CreatePictureFileAsset", parameters);
    ASSERT_TRUE(created.ok()) << created.fault.toStdString();
    const Listing listed = list(*soap, home, album);
    const pugi::xml_node record = listed.pictures.value(0);
    EXPECT_EQ(
        childText(record, "DatePictureTakenUtc"), QStringLiteral("0001-01-01T00:00:00+00:00"));
    EXPECT_EQ(childText(record, "FileSize"), QStringLiteral("5000000000"));
    EXPECT_EQ(
        childText(record, "PictureFileAssetSharingPermissions"), QStringLiteral("4294967295"));

    auto with = [&](const QString &name, const QString &value) {
        SoapParameters changed = parameters;
        for (auto &parameter : changed) {
            if (parameter.first == name)
                parameter.second = value;
        }
        return call(*soap, "CreatePictureFileAsset", changed);
    };
    EXPECT_FALSE(with(QStringLiteral("width"), QStringLiteral("wide")).ok());
    EXPECT_FALSE(with(QStringLiteral("rating"), QStringLiteral("Superb")).ok());
    EXPECT_FALSE(with(QStringLiteral("creationDateUtc"), QStringLiteral("yesterday")).ok());
    EXPECT_FALSE(with(QStringLiteral("sharingPermissions"), QStringLiteral("-1")).ok());
    EXPECT_FALSE(with(QStringLiteral("parentIdentifier"), QStringLiteral("no-such-album")).ok());
    EXPECT_EQ(list(*soap, home, album).pictures.size(), 1);
}

TEST_F(AssetTreeTest, RenameRatePermissionsThumbnailOptions)
{
    const QString album = folder(home, QString(), QStringLiteral("Before"));
    const QString picture = soap->createPicture(home, album, QStringLiteral("p.jpg")).result();

    EXPECT_TRUE(call(*soap, "RenameAsset",
        {{QStringLiteral("sessionIdentifier"), home},
            {QStringLiteral("namedAssetIdentifier"), album},
            {QStringLiteral("name"), QStringLiteral("After")},
            {QStringLiteral("description"), QStringLiteral("Renamed album")}})
                    .ok());
    EXPECT_FALSE(call(*soap, "RenameAsset",
        {{QStringLiteral("sessionIdentifier"), home},
            {QStringLiteral("namedAssetIdentifier"), album},
            {QStringLiteral("name"), QStringLiteral("  ")},
            {QStringLiteral("description"), QString()}})
                     .ok());
    EXPECT_TRUE(call(*soap, "SetAssetRating",
        {{QStringLiteral("sessionIdentifier"), home}, {QStringLiteral("assetIdentifier"), picture},
            {QStringLiteral("rating"), QStringLiteral("Outstanding")}})
                    .ok());
    EXPECT_TRUE(call(*soap, "SetFolderAssetSharingPermissions",
        {{QStringLiteral("sessionIdentifier"), home},
            {QStringLiteral("folderAssetIdentifier"), album},
            {QStringLiteral("sharingPermissions"), QStringLiteral("3")}})
                    .ok());
    EXPECT_TRUE(call(*soap, "SetPictureFileAssetSharingPermissions",
        {{QStringLiteral("sessionIdentifier"), home},
            {QStringLiteral("pictureFileAssetIdentifier"), picture},
            {QStringLiteral("sharingPermissions"), QStringLiteral("12")}})
                    .ok());
    // A picture is not an album: its permissions go through the picture operation only.
    EXPECT_FALSE(call(*soap, "SetFolderAssetSharingPermissions",
        {{QStringLiteral("sessionIdentifier"), home},
            {QStringLiteral("folderAssetIdentifier"), picture},
            {QStringLiteral("sharingPermissions"), QStringLiteral("3")}})
                     .ok());
    EXPECT_TRUE(call(*soap, "SetFolderAssetAutomaticThumbnailOptions",
        {{QStringLiteral("sessionIdentifier"), home}, {QStringLiteral("folderIdentifier"), album},
            {QStringLiteral("automaticThumbnailOptions"), QStringLiteral("ThumbnailLastImage")}})
                    .ok());
    EXPECT_FALSE(call(*soap, "SetFolderAssetAutomaticThumbnailOptions",
        {{QStringLiteral("sessionIdentifier"), home}, {QStringLiteral("folderIdentifier"), album},
            {QStringLiteral("automaticThumbnailOptions"), QStringLiteral("ThumbnailSome")}})
                     .ok());

    const Listing rootListing = list(*soap, home, QString());
    const pugi::xml_node albumRecord = rootListing.folders.value(0);
    EXPECT_EQ(childText(albumRecord, "Name"), QStringLiteral("After"));
    EXPECT_EQ(childText(albumRecord, "Description"), QStringLiteral("Renamed album"));
    EXPECT_EQ(childText(albumRecord, "FolderAssetSharingPermissions"), QStringLiteral("3"));
    EXPECT_EQ(
        childText(albumRecord, "AutomaticThumbnailOptions"), QStringLiteral("ThumbnailLastImage"));
    const Listing albumListing = list(*soap, home, album);
    const pugi::xml_node pictureRecord = albumListing.pictures.value(0);
    EXPECT_EQ(childText(pictureRecord, "Rating"), QStringLiteral("Outstanding"));
    EXPECT_EQ(childText(pictureRecord, "PictureFileAssetSharingPermissions"), QStringLiteral("12"));
}

TEST_F(AssetTreeTest, DestroyTakesEverythingInside)
{
    const QString top = folder(home, QString(), QStringLiteral("Top"));
    const QString middle = folder(home, top, QStringLiteral("Middle"));
    const QString bottom = folder(home, middle, QStringLiteral("Bottom"));
    const QString deep = soap->createPicture(home, bottom, QStringLiteral("deep.jpg")).result();
    const QString keep = folder(home, QString(), QStringLiteral("Keep"));
    const QString kept = soap->createPicture(home, keep, QStringLiteral("kept.jpg")).result();
    const QString loose = soap->createPicture(home, keep, QStringLiteral("loose.jpg")).result();

    EXPECT_TRUE(call(*soap, "DestroyPictureFileAsset",
        {{QStringLiteral("sessionIdentifier"), home}, {QStringLiteral("assetIdentifier"), loose}})
                    .ok());
    EXPECT_FALSE(call(*soap, "DestroyFolderAsset",
        {{QStringLiteral("sessionIdentifier"), home}, {QStringLiteral("folderIdentifier"), kept}})
                     .ok());
    ASSERT_TRUE(call(*soap, "DestroyFolderAsset",
        {{QStringLiteral("sessionIdentifier"), home}, {QStringLiteral("folderIdentifier"), top}})
                    .ok());

    const Listing root = list(*soap, home, QString());
    ASSERT_EQ(root.folders.size(), 1);
    EXPECT_EQ(childText(root.folders[0], "UniqueIdentifier"), keep);
    EXPECT_EQ(list(*soap, home, keep).pictures.size(), 1);
    EXPECT_FALSE(list(*soap, home, middle).reply.ok());
    EXPECT_FALSE(list(*soap, home, bottom).reply.ok());
    EXPECT_FALSE(call(*soap, "SetAssetRating",
        {{QStringLiteral("sessionIdentifier"), home}, {QStringLiteral("assetIdentifier"), deep},
            {QStringLiteral("rating"), QStringLiteral("Poor")}})
                     .ok());
}

TEST_F(AssetTreeTest, LocalAndRemoteAcrossTwoComputers)
{
    const QString fromHome = folder(home, QString(), QStringLiteral("From home"));
    const QString fromLaptop = folder(laptop, QString(), QStringLiteral("From laptop"));
    ASSERT_TRUE(soap->createPicture(laptop, fromHome, QStringLiteral("laptop.jpg")).ok());

    auto typeOf = [&](const Listing &listing, const QString &name) {
        for (const auto &node : listing.folders + listing.pictures) {
            if (childText(node, "Name") == name)
                return childText(node, "AssetType");
        }
        return QStringLiteral("missing");
    };
    const Listing seenAtHome = list(*soap, home, QString());
    EXPECT_EQ(typeOf(seenAtHome, QStringLiteral("From home")), QStringLiteral("Local"));
    EXPECT_EQ(typeOf(seenAtHome, QStringLiteral("From laptop")), QStringLiteral("Remote"));
    const Listing seenOnLaptop = list(*soap, laptop, QString());
    EXPECT_EQ(typeOf(seenOnLaptop, QStringLiteral("From home")), QStringLiteral("Remote"));
    EXPECT_EQ(typeOf(seenOnLaptop, QStringLiteral("From laptop")), QStringLiteral("Local"));
    EXPECT_EQ(typeOf(list(*soap, home, fromHome), QStringLiteral("laptop.jpg")),
        QStringLiteral("Remote"));
    EXPECT_EQ(typeOf(list(*soap, laptop, fromHome), QStringLiteral("laptop.jpg")),
        QStringLiteral("Local"));
    Q_UNUSED(fromLaptop);
}

TEST_F(AssetTreeTest, AnotherAccountSeesAndChangesNothing)
{
    const QString album = folder(home, QString(), QStringLiteral("Private"));
    const QString picture = soap->createPicture(home, album, QStringLiteral("secret.jpg")).result();
    ASSERT_TRUE(soap->createAccount(QStringLiteral("eve@example.org"), "password2").ok());
    const QString eve
        = soap->signOn(kLaptop, QStringLiteral("eve@example.org"), "password2").result();

    EXPECT_TRUE(list(*soap, eve, QString()).folders.isEmpty());
    const SoapResult foreign = list(*soap, eve, album).reply;
    const SoapResult missing
        = list(*soap, eve, QStringLiteral("00000000-dead-beef-0000-000000000000")).reply;
    EXPECT_FALSE(foreign.ok());
    // The refusal reads the same as for an identifier that exists nowhere.
    EXPECT_EQ(foreign.faultMessage().replace(album, QStringLiteral("X")),
        missing.faultMessage().replace(
            QStringLiteral("00000000-dead-beef-0000-000000000000"), QStringLiteral("X")));
    EXPECT_FALSE(call(*soap, "RenameAsset",
        {{QStringLiteral("sessionIdentifier"), eve},
            {QStringLiteral("namedAssetIdentifier"), album},
            {QStringLiteral("name"), QStringLiteral("Mine")},
            {QStringLiteral("description"), QString()}})
                     .ok());
    EXPECT_FALSE(call(*soap, "DestroyPictureFileAsset",
        {{QStringLiteral("sessionIdentifier"), eve}, {QStringLiteral("assetIdentifier"), picture}})
                     .ok());
    EXPECT_FALSE(soap->createFolder(eve, album, QStringLiteral("Intruder")).ok());
    const Listing stillThere = list(*soap, home, album);
    ASSERT_EQ(stillThere.pictures.size(), 1);
    EXPECT_EQ(childText(list(*soap, home, QString()).folders.value(0), "Name"),
        QStringLiteral("Private"));
}

} // namespace
