// SPDX-License-Identifier: GPL-2.0-or-later
#include "publisher/app/CommandRules.h"

#include <array>
#include <utility>

namespace pondrel {

namespace {

using enum Command;

// The window's own commands: they act on the window, not on the account or its items, so
// they stay available whatever the Publisher is doing.
bool isWindowCommand(Command command)
{
    switch (command) {
    case Quit:
    case CloseWindow:
    case Minimize:
    case ShowMainWindow:
    case ShowHelp:
    case ShowToolbar:
    case CustomizeToolbar:
        return true;
    default:
        return false;
    }
}

bool isAlbumCommand(Command command)
{
    return command == SendToFriends || command == ManageEmailAliases || command == ManageSharing
        || command == ManageWebSharing;
}

constexpr std::array<std::pair<Command, const char *>, 30> kNames {{
    {ShowPrefs, "preferences"},
    {ShowAboutBox, "about"},
    {LoginOrLogout, "login-logout"},
    {CreateNewAccount, "new-account"},
    {ShowAccountPanel, "account"},
    {Quit, "quit"},
    {GoUp, "go-up"},
    {GetInfo, "info"},
    {NewAlbum, "new-album"},
    {ShowImportIPhotoAlbum, "import-library"},
    {ImportPicture, "import"},
    {Refresh, "refresh"},
    {CommitDraftsToServer, "commit"},
    {OpenItem, "open"},
    {RemoveItem, "remove"},
    {SendToFriends, "send-to-friends"},
    {ManageEmailAliases, "email-aliases"},
    {ManageSharing, "sharing"},
    {ManageWebSharing, "web-sharing"},
    {RequestWallpaper, "wallpaper"},
    {DownloadPicture, "download"},
    {RotateLeft, "rotate-left"},
    {RotateRight, "rotate-right"},
    {SelectAll, "select-all"},
    {CloseWindow, "close-window"},
    {Minimize, "minimize"},
    {ShowMainWindow, "main-window"},
    {ShowHelp, "help"},
    {ShowToolbar, "show-toolbar"},
    {CustomizeToolbar, "customize-toolbar"},
}};

} // namespace

bool validateGUIItem(Command command, const CommandState &state)
{
    if (isWindowCommand(command))
        return true;
    if (state.importRunning)
        return false;
    if (command == ShowPrefs || command == ShowAboutBox)
        return true;
    if (state.fullPictureViewShown)
        return false;
    if (command == LoginOrLogout || command == CreateNewAccount)
        return !state.serviceBusy;
    if (!state.signedOn)
        return false;
    if (command == GoUp)
        return !state.albumHistoryEmpty;
    if (command == GetInfo)
        return state.selection != SelectionTag::None && state.selection != SelectionTag::Imported;
    if (!state.currentAlbumImported) {
        if (command == NewAlbum || command == ImportPicture)
            return true;
        if (command == ShowImportIPhotoAlbum)
            return !state.currentAlbumIsRoot && !state.photoLibrariesBeingRead;
    }
    if (command == ShowAccountPanel)
        return true;
    if (command == Refresh)
        return !state.serviceBusy;
    if (command == CommitDraftsToServer)
        return state.hasDraftsToCommit;
    // Selecting everything needs no selection to start from.
    if (command == SelectAll)
        return true;
    if (state.selection == SelectionTag::None)
        return false;
    if (command == OpenItem || command == RemoveItem)
        return true;
    // The menu's rotation turns the first selected picture, a draft's too: a draft is turned
    // before it is sent.
    if (command == RotateLeft || command == RotateRight)
        return !state.firstSelectedIsAlbum;
    if (state.selection == SelectionTag::Draft)
        return false;
    if (state.firstSelectedIsAlbum)
        return isAlbumCommand(command);
    return command == RequestWallpaper || command == DownloadPicture;
}

QString commandName(Command command)
{
    for (const auto &[each, name] : kNames) {
        if (each == command)
            return QString::fromLatin1(name);
    }
    return {};
}

std::optional<Command> commandNamed(const QString &name)
{
    for (const auto &[command, each] : kNames) {
        if (name == QLatin1String(each))
            return command;
    }
    return std::nullopt;
}

} // namespace pondrel
