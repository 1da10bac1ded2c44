// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/client/ClientTestSupport.h"

#include "support/Values.h"

#include <gtest/gtest.h>

namespace pondrel {

namespace {

const QString kKind = QStringLiteral("CS_AssetKind");

// The records under map[outer][inner], as a list even when there is one.
QVariantList listAt(const QVariantMap &map, const QString &outer, const QString &inner)
{
    return Values::asList(map.value(outer).toMap().value(inner));
}

class AssetsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(fixture.start()) << fixture.errorMsg().toStdString();
        client = fixture.signedOnClient();
        ASSERT_TRUE(client);
    }

    QString album(const QString &parent, const QString &name)
    {
        const QString identifier = RefServiceFixture::createAlbum(*client, parent, name);
        EXPECT_FALSE(identifier.isEmpty()) << name.toStdString();
        return identifier;
    }

    QString picture(const QString &parent, const QString &name)
    {
        const QString identifier = RefServiceFixture::createPicture(*client, parent, name);
        EXPECT_FALSE(identifier.isEmpty()) << name.toStdString();
        return identifier;
    }

    // The one record with that identifier under parent; empty when it is not listed.
    QVariantMap record(const QString &parent, const QString &identifier)
    {
        const std::optional<QVariantList> assets = client->getAssets(parent);
        if (!assets)
            return {};
        for (const QVariant &asset : *assets) {
            if (asset.toMap().value(QStringLiteral("UniqueIdentifier")) == identifier)
                return asset.toMap();
        }
        return {};
    }

    RefServiceFixture fixture;
    std::unique_ptr<oruNetwork> client;
};

TEST_F(AssetsTest, ListsAnEmptyAlbumOnePictureAndAlbumsBeforePictures)
{
    const QString empty = album({}, QStringLiteral("Empty"));
    const std::optional<QVariantList> none = client->getAssets(empty);
    ASSERT_TRUE(none) << client->errorMsg().toStdString();
    EXPECT_TRUE(none->isEmpty());

    const QString holiday = album({}, QStringLiteral("Holiday"));
    const QString beach = picture(holiday, QStringLiteral("beach.jpg"));
    const std::optional<QVariantList> one = client->getAssets(holiday);
    ASSERT_TRUE(one);
    ASSERT_EQ(one->size(), 1);
    const QVariantMap record = one->at(0).toMap();
    EXPECT_EQ(record.value(kKind), QStringLiteral("PictureFileAsset"));
    EXPECT_EQ(record.value(QStringLiteral("UniqueIdentifier")), beach);
    EXPECT_EQ(record.value(QStringLiteral("Name")), QStringLiteral("beach.jpg"));
    EXPECT_EQ(record.value(QStringLiteral("SourceWidth")), QStringLiteral("2000"));
    EXPECT_EQ(record.value(QStringLiteral("AssetType")), QStringLiteral("Local"));
    EXPECT_TRUE(Values::isNullMarker(record.value(QStringLiteral("Comments"))));

    const QString trips = album({}, QStringLiteral("Trips"));
    picture(trips, QStringLiteral("first.jpg"));
    album(trips, QStringLiteral("Rome"));
    picture(trips, QStringLiteral("second.jpg"));
    album(trips, QStringLiteral("Oslo"));
    picture(trips, QStringLiteral("third.jpg"));
    const std::optional<QVariantList> assets = client->getAssets(trips);
    ASSERT_TRUE(assets);
    QStringList listed;
    for (const QVariant &asset : *assets)
        listed.append(asset.toMap().value(QStringLiteral("Name")).toString() + ':'
            + asset.toMap().value(kKind).toString());
    EXPECT_EQ(listed,
        QStringList({"Rome:FolderAsset", "Oslo:FolderAsset", "first.jpg:PictureFileAsset",
            "second.jpg:PictureFileAsset", "third.jpg:PictureFileAsset"}));
    EXPECT_EQ(this->record({}, trips).value(QStringLiteral("Children")), QStringLiteral("5"));
}

TEST_F(AssetsTest, EditsReachTheServiceAndIndexesWithoutAMeaningNever)
{
    const QString before = album({}, QStringLiteral("Before"));
    const QString shot = picture(before, QStringLiteral("shot.jpg"));
    ASSERT_TRUE(client->renameAsset(before, QStringLiteral("After"), QStringLiteral("Renamed")));
    ASSERT_TRUE(client->setFolderAssetPermissions(before, QStringLiteral("17")));
    ASSERT_TRUE(client->setPictureAssetPermissions(shot, 4294967295u));
    const QVariantMap folder = record({}, before);
    EXPECT_EQ(folder.value(QStringLiteral("Name")), QStringLiteral("After"));
    EXPECT_EQ(folder.value(QStringLiteral("Description")), QStringLiteral("Renamed"));
    EXPECT_EQ(folder.value(QStringLiteral("FolderAssetSharingPermissions")), QStringLiteral("17"));
    EXPECT_EQ(record(before, shot).value(QStringLiteral("PictureFileAssetSharingPermissions")),
        QStringLiteral("4294967295"));

    // The indexes of the menus become the service's names.
    for (const auto &[index, name] : QList<QPair<int, QString>> {{3, "Good"}, {5, "Outstanding"}}) {
        ASSERT_TRUE(client->setAssetRating(shot, index));
        EXPECT_EQ(record(before, shot).value(QStringLiteral("Rating")), name);
    }
    for (const auto &[index, name] :
        QList<QPair<int, QString>> {{0, "ThumbnailNone"}, {4, "ThumbnailLastImages"}}) {
        ASSERT_TRUE(client->setFolderThumbnailOptions(before, index));
        EXPECT_EQ(record({}, before).value(QStringLiteral("AutomaticThumbnailOptions")), name);
    }

    const QStringList edits = {QStringLiteral("SetAssetRating"),
        QStringLiteral("SetFolderAssetAutomaticThumbnailOptions"),
        QStringLiteral("SetFolderAssetSharingPermissions")};
    const auto editCount = [&] {
        int count = 0;
        for (const QString &operation : edits)
            count += fixture.requestCount(operation);
        return count;
    };
    const int sentBefore = editCount();
    EXPECT_FALSE(client->setAssetRating(shot, 6));
    EXPECT_FALSE(client->setAssetRating(shot, -1));
    EXPECT_FALSE(client->setFolderThumbnailOptions(before, 5));
    EXPECT_FALSE(client->setFolderAssetPermissions(before, QStringLiteral("seventeen")));
    EXPECT_FALSE(client->setFolderAssetPermissions(before, QStringLiteral("4294967296")));
    EXPECT_FALSE(client->errorMsg().isEmpty());
    EXPECT_EQ(editCount(), sentBefore);
    EXPECT_EQ(record(before, shot).value(QStringLiteral("Rating")), QStringLiteral("Outstanding"));

    ASSERT_TRUE(client->destroyPictureAsset(shot));
    EXPECT_FALSE(client->destroyPictureAsset(shot));
    ASSERT_TRUE(client->destroyFolderAsset(before));
    EXPECT_FALSE(client->getAssets(before));
    EXPECT_TRUE(client->getAssets({})->isEmpty());
    client->signOff();
    EXPECT_FALSE(client->getAssets({}));
    EXPECT_TRUE(fixture.alert->shown.isEmpty());
}

class SharingTest : public AssetsTest
{
protected:
    // The album behind a web address, imported into the other client's account.
    static QString importInto(oruNetwork &other, const QString &address)
    {
        PublishingServices &publishing = other.publishingServices();
        const QString operation = QStringLiteral("ImportAssetFromSymbolicLink");
        const QVariantMap reply = publishing.soapCall(publishing.endpointURL(), operation,
            publishing.soapAction(operation), publishing.methodNamespace(),
            {other.sessionIdentifier(), address},
            {QStringLiteral("sessionIdentifier"), QStringLiteral("symbolicLink")});
        return reply.value(QStringLiteral("ImportAssetFromSymbolicLinkResult")).toString();
    }
};

TEST_F(SharingTest, InvitationsAndWebAddressesAreUnderstoodByTheService)
{
    const QString shared = album({}, QStringLiteral("Shared"));
    const oruAssetItem item {shared};
    const QVariantList recipients
        = {oruNetwork::recipientRecord(QStringLiteral("Bob"), QStringLiteral("bob@example.com"),
               QStringLiteral("Look!"), true, false),
            oruNetwork::recipientRecord(
                QStringLiteral("Eve"), QStringLiteral("eve@example.com"), {}, false, true)};
    ASSERT_TRUE(client->sendSharing(item, recipients, true, QStringLiteral("Default")))
        << client->errorMsg().toStdString();
    // The album's record lists its recipients because the listing asks for export links.
    EXPECT_EQ(listAt(record({}, shared), QStringLiteral("FolderAssetExportLinks"),
                  QStringLiteral("FolderAssetExportLink"))
                  .size(),
        2);
    EXPECT_TRUE(client->revokeExportLink(item, QStringLiteral("bob@example.com")));
    const std::optional<QVariantMap> links = client->getExportLinksInfo(item);
    ASSERT_TRUE(links) << client->errorMsg().toStdString();
    const QVariantList left = listAt(
        *links, QStringLiteral("GetExportLinksInfoResult"), QStringLiteral("ExportLinkInfo"));
    ASSERT_EQ(left.size(), 1);
    EXPECT_EQ(left.at(0).toMap().value(QStringLiteral("EmailAddress")),
        QStringLiteral("eve@example.com"));

    const std::optional<QString> address = client->createSymbolicLink({shared},
        QStringLiteral("Our trip"), QStringLiteral("Pictures"), QStringLiteral("trip"), {}, true);
    ASSERT_TRUE(address) << client->errorMsg().toStdString();
    const QVariantList published = listAt(record({}, shared),
        QStringLiteral("FolderAssetSymbolicLinks"), QStringLiteral("FolderAssetSymbolicLink"));
    ASSERT_EQ(published.size(), 1);
    EXPECT_EQ(published.at(0).toMap().value(QStringLiteral("Url")), *address);
    const std::optional<QVariantMap> info = client->getSymbolicLinksInfo(*address);
    ASSERT_TRUE(info) << client->errorMsg().toStdString();
    EXPECT_EQ(info->value("GetSymbolicLinkInfoResult").toMap().value("Name"), "Our trip");
    EXPECT_TRUE(client->destroySymbolicLink(*address));
    EXPECT_FALSE(client->getSymbolicLinksInfo(*address));
    EXPECT_FALSE(client->destroySymbolicLink(*address));
    ASSERT_EQ(fixture.alert->shown.size(), 1);
    EXPECT_EQ(fixture.alert->shown.at(0).first, QStringLiteral("Destroying album share failed."));
}

TEST_F(SharingTest, ImportedAlbumsAreDetachedInOrderUntilTheFirstFailure)
{
    const QString first = album({}, QStringLiteral("First"));
    const QString second = album({}, QStringLiteral("Second"));
    const std::optional<QString> firstAddress
        = client->createSymbolicLink({first}, QStringLiteral("1"), {}, {}, {}, true);
    const std::optional<QString> secondAddress
        = client->createSymbolicLink({second}, QStringLiteral("2"), {}, {}, {}, true);
    ASSERT_TRUE(firstAddress && secondAddress) << client->errorMsg().toStdString();

    const std::unique_ptr<oruNetwork> friendClient
        = fixture.signedOnClient(QStringLiteral("bob@example.com"));
    ASSERT_TRUE(friendClient);
    EXPECT_TRUE(friendClient->detachImportedAssets({}));
    EXPECT_EQ(fixture.requestCount(QStringLiteral("DetachImportedAsset")), 0);
    ASSERT_EQ(importInto(*friendClient, *firstAddress), first);
    ASSERT_EQ(importInto(*friendClient, *secondAddress), second);
    const std::optional<QVariantList> imported = friendClient->getAssets({});
    ASSERT_TRUE(imported);
    ASSERT_EQ(imported->size(), 2);
    EXPECT_EQ(
        imported->at(0).toMap().value(QStringLiteral("AssetType")), QStringLiteral("Imported"));

    EXPECT_FALSE(friendClient->detachImportedAssets({first, QStringLiteral("unknown"), second}));
    const std::optional<QVariantList> left = friendClient->getAssets({});
    ASSERT_TRUE(left);
    ASSERT_EQ(left->size(), 1);
    EXPECT_EQ(left->at(0).toMap().value(QStringLiteral("UniqueIdentifier")), second);
    EXPECT_EQ(fixture.requestCount(QStringLiteral("DetachImportedAsset")), 2);
    ASSERT_EQ(fixture.alert->shown.size(), 1);
    EXPECT_EQ(fixture.alert->shown.at(0).first, QStringLiteral("Removing items failed."));
    EXPECT_TRUE(fixture.alert->shown.at(0).second.contains(QStringLiteral("unknown")));
    EXPECT_FALSE(fixture.alert->shown.at(0).second.contains(QStringLiteral("---> ")));

    EXPECT_TRUE(friendClient->detachImportedAssets({second}));
    EXPECT_TRUE(friendClient->getAssets({})->isEmpty());
    // The owner's albums stay where they are.
    EXPECT_EQ(client->getAssets({})->size(), 2);
}

} // namespace

} // namespace pondrel
