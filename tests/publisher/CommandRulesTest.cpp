// SPDX-License-Identifier: GPL-2.0-or-later
// The enabling rule as a table, the toolbar's item sets, and the customisation dialog.
#include "publisher/app/CommandRules.h"
#include "publisher/app/ToolbarItems.h"
#include "publisher/dialogs/oruCustomizeToolbarController.h"

#include <QListWidget>

#include <gtest/gtest.h>

#include <functional>

using namespace pondrel;

namespace {

using enum Command;

// Signed on, browsing a non-imported album below the root, nothing selected, no drafts.
CommandState signedOnBrowsing()
{
    CommandState state;
    state.signedOn = true;
    state.currentAlbumIsRoot = false;
    return state;
}

CommandState selecting(SelectionTag tag, bool album)
{
    CommandState state = signedOnBrowsing();
    state.selection = tag;
    state.firstSelectedIsAlbum = album;
    return state;
}

struct Row
{
    const char *situation;
    CommandState state;
    std::vector<Command> enabled;
    std::vector<Command> disabled;
};

std::vector<Row> table()
{
    CommandState importing = selecting(SelectionTag::Local, false);
    importing.importRunning = true;
    importing.hasDraftsToCommit = true;
    CommandState fullView = selecting(SelectionTag::Local, false);
    fullView.fullPictureViewShown = true;
    fullView.hasDraftsToCommit = true;
    CommandState signedOff;
    CommandState busy = signedOnBrowsing();
    busy.serviceBusy = true;
    CommandState deeper = signedOnBrowsing();
    deeper.albumHistoryEmpty = false;
    CommandState root;
    root.signedOn = true;
    CommandState inImported = selecting(SelectionTag::Imported, true);
    inImported.currentAlbumImported = true;
    CommandState drafts = signedOnBrowsing();
    drafts.hasDraftsToCommit = true;
    return {
        {"an import runs", importing, {Quit, ShowHelp, CloseWindow, CustomizeToolbar},
            {ShowPrefs, ShowAboutBox, LoginOrLogout, CommitDraftsToServer, RequestWallpaper}},
        {"the full picture view is shown", fullView, {ShowPrefs, ShowAboutBox, Minimize},
            {LoginOrLogout, CreateNewAccount, Refresh, GetInfo, CommitDraftsToServer,
                RequestWallpaper, DownloadPicture, RotateLeft, OpenItem}},
        {"signed off", signedOff, {LoginOrLogout, CreateNewAccount, ShowPrefs, ShowAboutBox},
            {Refresh, NewAlbum, ImportPicture, ShowAccountPanel, GoUp, SelectAll}},
        {"a service call runs", busy, {ShowAccountPanel, NewAlbum},
            {LoginOrLogout, CreateNewAccount, Refresh}},
        {"at the top of the history", signedOnBrowsing(), {Refresh, ShowAccountPanel, SelectAll},
            {GoUp, CommitDraftsToServer, OpenItem, RemoveItem, GetInfo}},
        {"below an album", deeper, {GoUp}, {}},
        {"at the root", root, {NewAlbum, ImportPicture}, {ShowImportIPhotoAlbum}},
        {"below the root", signedOnBrowsing(), {NewAlbum, ImportPicture, ShowImportIPhotoAlbum},
            {}},
        {"in an imported album", inImported, {Refresh, OpenItem, RemoveItem, ManageSharing},
            {NewAlbum, ImportPicture, ShowImportIPhotoAlbum, GetInfo}},
        {"drafts to send", drafts, {CommitDraftsToServer}, {}},
        {"a draft picture", selecting(SelectionTag::Draft, false),
            {GetInfo, OpenItem, RemoveItem, RotateLeft, RotateRight},
            {RequestWallpaper, DownloadPicture, ManageSharing, ManageWebSharing}},
        {"a draft album", selecting(SelectionTag::Draft, true), {GetInfo, OpenItem},
            {ManageSharing, ManageWebSharing, SendToFriends, RotateLeft}},
        {"an album on the service", selecting(SelectionTag::Local, true),
            {ManageSharing, ManageWebSharing, SendToFriends, ManageEmailAliases, GetInfo},
            {RequestWallpaper, DownloadPicture, RotateLeft}},
        {"a picture on the service", selecting(SelectionTag::Remote, false),
            {RequestWallpaper, DownloadPicture, RotateRight, GetInfo},
            {ManageSharing, ManageWebSharing}},
        {"an imported picture", selecting(SelectionTag::Imported, false),
            {RequestWallpaper, DownloadPicture}, {GetInfo}},
    };
}

} // namespace

TEST(CommandRulesTest, EveryRowOfTheTable)
{
    for (const Row &row : table()) {
        for (Command command : row.enabled)
            EXPECT_TRUE(validateGUIItem(command, row.state))
                << row.situation << ": " << commandName(command).toStdString() << " disabled";
        for (Command command : row.disabled)
            EXPECT_FALSE(validateGUIItem(command, row.state))
                << row.situation << ": " << commandName(command).toStdString() << " enabled";
    }
}

TEST(CommandRulesTest, NamesAreUniqueAndFoundAgain)
{
    QStringList seen;
    for (int each = 0; each <= static_cast<int>(CustomizeToolbar); ++each) {
        const auto command = static_cast<Command>(each);
        const QString name = commandName(command);
        ASSERT_FALSE(name.isEmpty()) << each;
        EXPECT_FALSE(seen.contains(name)) << name.toStdString();
        seen.append(name);
        EXPECT_EQ(commandNamed(name), command);
    }
    EXPECT_FALSE(commandNamed("format-disk"));
}

TEST(ToolbarItemsTest, DefaultSetIsAllowedAndSavedListsAreCleaned)
{
    const QStringList defaults = ToolbarItems::defaultItemIdentifiers();
    EXPECT_EQ(ToolbarItems::sanitized(defaults), defaults);
    EXPECT_EQ(defaults.first(), "LoginItem");
    EXPECT_EQ(defaults.last(), "PrefsItem");
    EXPECT_EQ(ToolbarItems::itemForIdentifier("CommitItem")->label(), "Upload");
    EXPECT_EQ(ToolbarItems::itemForIdentifier("ShareAlbumItem")->toolTip(),
        "Share an album with friends & family");
    EXPECT_EQ(ToolbarItems::sanitized(
                  {"RefreshItem", "Bogus", "Space", "RefreshItem", "Space", "Separator"}),
        (QStringList {"RefreshItem", "Space", "Space", "Separator"}));
}

TEST(CustomizeToolbarTest, AddRemoveMoveAndRestore)
{
    oruCustomizeToolbarController dialog(
        {ToolbarItems::allowedItemIdentifiers(), ToolbarItems::defaultItemIdentifiers(),
            &ToolbarItems::paletteLabel, &ToolbarItems::isRepeatable},
        {"LoginItem", "RefreshItem"});
    auto *available = dialog.findChild<QListWidget *>("availableItems");
    auto *toolbar = dialog.findChild<QListWidget *>("toolbarItems");
    ASSERT_TRUE(available && toolbar);
    // Shown items are not offered twice; spaces always are.
    EXPECT_TRUE(available->findItems("Refresh", Qt::MatchExactly).isEmpty());
    ASSERT_EQ(available->findItems("Space", Qt::MatchExactly).size(), 1);

    available->setCurrentItem(available->findItems("Space", Qt::MatchExactly).first());
    toolbar->setCurrentRow(0);
    dialog.addSelected();
    dialog.addSelected();
    EXPECT_EQ(dialog.items(), (QStringList {"LoginItem", "Space", "Space", "RefreshItem"}));

    available->setCurrentItem(available->findItems("Upload", Qt::MatchExactly).first());
    dialog.addSelected();
    EXPECT_TRUE(available->findItems("Upload", Qt::MatchExactly).isEmpty());
    dialog.moveSelected(-1);
    dialog.moveSelected(-1);
    EXPECT_EQ(
        dialog.items(), (QStringList {"LoginItem", "CommitItem", "Space", "Space", "RefreshItem"}));

    toolbar->setCurrentRow(0);
    dialog.removeSelected();
    EXPECT_EQ(available->findItems("Login", Qt::MatchExactly).size(), 1);
    dialog.restoreDefaults();
    EXPECT_EQ(dialog.items(), ToolbarItems::defaultItemIdentifiers());
}
