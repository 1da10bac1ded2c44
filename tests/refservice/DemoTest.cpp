// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/refservice/SoapTestClient.h"

#include <gtest/gtest.h>

namespace pondrel {

namespace {

QStringList albumNames(const SoapResult &listing)
{
    QStringList names;
    for (pugi::xml_node album : listing.resultNode().child("Assets").children("FolderAsset"))
        names.append(childText(album, "Name"));
    return names;
}

TEST(RefServiceDemo, DemoAccountHasAlbumsWithPicturesAndSurvivesARestart)
{
    RefServiceProcess service {{"--demo"}};
    ASSERT_TRUE(service.start()) << service.errorMsg().toStdString();
    SoapTestClient soap(service.baseUrl());
    const QString computer = "DDDDDDDD-0000-0000-0000-000000000001";
    const SoapResult signedOn = soap.signOn(computer, "demo@pondrel.example", "pondrel-demo");
    ASSERT_TRUE(signedOn.ok()) << signedOn.fault.toStdString();
    const SoapResult root = soap.getAssets(signedOn.result(), QString());
    EXPECT_EQ(albumNames(root), QStringList({"Landscapes", "Travels"}));

    const pugi::xml_node landscapes = root.resultNode().child("Assets").child("FolderAsset");
    const QString thumbnail
        = childText(landscapes.child("FolderAssetRenditions").child("FolderAssetRendition"), "Url");
    const HttpResult picture = SoapTestClient::get(thumbnail);
    EXPECT_EQ(picture.status, 200);
    EXPECT_TRUE(picture.body.startsWith("\xFF\xD8\xFF"));
    const SoapResult inside
        = soap.getAssets(signedOn.result(), childText(landscapes, "UniqueIdentifier"));
    const pugi::xml_node assets = inside.resultNode().child("Assets");
    EXPECT_EQ(countChildren(assets, "PictureFileAsset"), 4);
    for (pugi::xml_node record : assets.children("PictureFileAsset")) {
        EXPECT_EQ(
            countChildren(record.child("PictureFileAssetRenditions"), "PictureFileAssetRendition"),
            2);
        EXPECT_EQ(childText(record, "AssetType"), "Remote");
    }

    ASSERT_TRUE(service.restart());
    SoapTestClient again(service.baseUrl());
    const QString session = again.signOn(computer, "demo@pondrel.example", "pondrel-demo").result();
    EXPECT_EQ(albumNames(again.getAssets(session, QString())).size(), 2); // not made twice
}

} // namespace

} // namespace pondrel
