// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QString>

#include <optional>

namespace pondrel {

// Every command the Publisher offers in its menus, toolbar, context menus and on the bus.
enum class Command {
    ShowPrefs,
    ShowAboutBox,
    LoginOrLogout,
    CreateNewAccount,
    ShowAccountPanel,
    Quit,
    GoUp,
    GetInfo,
    NewAlbum,
    ShowImportIPhotoAlbum,
    ImportPicture,
    Refresh,
    CommitDraftsToServer,
    OpenItem,
    RemoveItem,
    SendToFriends,
    ManageEmailAliases,
    ManageSharing,
    ManageWebSharing,
    RequestWallpaper,
    DownloadPicture,
    RotateLeft,
    RotateRight,
    SelectAll,
    CloseWindow,
    Minimize,
    ShowMainWindow,
    ShowHelp,
    ShowToolbar,
    CustomizeToolbar,
};

// The section of the grid holding the first selected item.
enum class SelectionTag { None, Draft, Local, Remote, Imported };

// What the enabling rule looks at; the controller fills it from its live state.
struct CommandState
{
    bool importRunning = false;
    bool fullPictureViewShown = false;
    // A service call is under way: commands that would start another sign-on or listing wait.
    bool serviceBusy = false;
    bool signedOn = false;
    bool albumHistoryEmpty = true;
    SelectionTag selection = SelectionTag::None;
    bool firstSelectedIsAlbum = false;
    bool currentAlbumImported = false;
    bool currentAlbumIsRoot = true;
    bool hasDraftsToCommit = false;
    // The photo libraries are being read for the import sheet: one reading at a time.
    bool photoLibrariesBeingRead = false;
};

// Whether command may run in state: the one rule behind every menu entry, toolbar item and
// bus request.
bool validateGUIItem(Command command, const CommandState &state);

// The command's name on the bus (org.freedesktop.Application's ActivateAction).
QString commandName(Command command);
std::optional<Command> commandNamed(const QString &name);

} // namespace pondrel
