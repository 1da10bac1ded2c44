// SPDX-License-Identifier: GPL-2.0-or-later
// The command surface: every menu entry, toolbar item and context-menu entry carries its
// command and is enabled by validateGUIItem() over the controller's live state; the toolbar
// is built from item identifiers the user may customise; the login item follows sign-on.
#include "publisher/app/oruController.h"

#include "publisher/app/ToolbarItems.h"
#include "publisher/app/oruMainWindow.h"
#include "publisher/app/oruServiceThread.h"
#include "publisher/dialogs/oruAlertPresenter.h"
#include "publisher/dialogs/oruCustomizeToolbarController.h"
#include "publisher/views/ToolbarIcon.h"
#include "support/Preferences.h"
#include "support/oruLog.h"
#include "ui_MainWindow.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QMenu>
#include <QToolBar>
#include <QUrl>

namespace pondrel {

namespace {

const char *const kCommandProperty = "pondrelCommand";
const QString kToolbarItemsKey = QStringLiteral("ToolbarItems");
constexpr int kSpaceWidth = 16;

// The menu actions of the window resources and the commands they carry.
const QList<QPair<Command, const char *>> &menuCommands()
{
    static const QList<QPair<Command, const char *>> table {
        {Command::ShowPrefs, "actionPreferences"},
        {Command::ShowAboutBox, "actionAbout"},
        {Command::LoginOrLogout, "actionLoginLogout"},
        {Command::CreateNewAccount, "actionNewAccount"},
        {Command::ShowAccountPanel, "actionAccount"},
        {Command::Quit, "actionQuit"},
        {Command::GoUp, "actionGoUp"},
        {Command::GetInfo, "actionGetInfo"},
        {Command::NewAlbum, "actionNewAlbum"},
        {Command::ShowImportIPhotoAlbum, "actionImportPhotoLibrary"},
        {Command::ImportPicture, "actionImport"},
        {Command::Refresh, "actionRefresh"},
        {Command::CommitDraftsToServer, "actionCommit"},
        {Command::OpenItem, "actionOpen"},
        {Command::RemoveItem, "actionRemove"},
        {Command::ManageSharing, "actionManageSharing"},
        {Command::ManageWebSharing, "actionManageWebSharing"},
        {Command::RequestWallpaper, "actionRequestWallpaper"},
        {Command::DownloadPicture, "actionDownloadPicture"},
        {Command::RotateLeft, "actionRotateLeft"},
        {Command::RotateRight, "actionRotateRight"},
        {Command::SelectAll, "actionSelectAll"},
        {Command::CloseWindow, "actionCloseWindow"},
        {Command::Minimize, "actionMinimize"},
        {Command::ShowMainWindow, "actionMainWindow"},
        {Command::ShowHelp, "actionHelp"},
        {Command::ShowToolbar, "actionShowToolbar"},
        {Command::CustomizeToolbar, "actionCustomizeToolbar"},
    };
    return table;
}

std::optional<Command> commandOf(const QAction *item)
{
    if (!item)
        return std::nullopt;
    const QVariant value = item->property(kCommandProperty);
    if (!value.isValid())
        return std::nullopt;
    return static_cast<Command>(value.toInt());
}

SelectionTag selectionTagFor(quint32 tag)
{
    switch (tag) {
    case oruController::DraftTag:
        return SelectionTag::Draft;
    case oruController::LocalTag:
        return SelectionTag::Local;
    case oruController::RemoteTag:
        return SelectionTag::Remote;
    case oruController::ImportedTag:
        return SelectionTag::Imported;
    default:
        return SelectionTag::None;
    }
}

QWidget *spaceWidget(bool flexible, QWidget *parent)
{
    auto *space = new QWidget(parent);
    if (flexible)
        space->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    else
        space->setFixedWidth(kSpaceWidth);
    return space;
}

} // namespace

QStringList oruController::actionNames()
{
    QStringList names;
    for (const auto &[command, action] : menuCommands())
        names.append(commandName(command));
    return names;
}

QAction *oruController::actionNamed(const QString &name) const
{
    const std::optional<Command> command = commandNamed(name);
    for (const auto &[each, action] : menuCommands()) {
        if (command == each)
            return window().findChild<QAction *>(QLatin1String(action));
    }
    return nullptr;
}

void oruController::connectCommandActions()
{
    for (const auto &[command, name] : menuCommands()) {
        if (QAction *action = window().findChild<QAction *>(QLatin1String(name)))
            action->setProperty(kCommandProperty, static_cast<int>(command));
    }
    Ui::MainWindow &ui = window().ui();
    connect(ui.actionRequestWallpaper, &QAction::triggered, this, &oruController::requestWallpaper);
    connect(ui.actionDownloadPicture, &QAction::triggered, this, &oruController::downloadPicture);
    connect(ui.actionSelectAll, &QAction::triggered, this, &oruController::selectAll);
    connect(ui.actionCloseWindow, &QAction::triggered, &window(), &QWidget::close);
    connect(ui.actionMinimize, &QAction::triggered, &window(), &QWidget::showMinimized);
    connect(ui.actionMainWindow, &QAction::triggered, this, &oruController::activate);
    connect(ui.actionHelp, &QAction::triggered, this, &oruController::showHelp);
    connect(ui.actionCustomizeToolbar, &QAction::triggered, this, &oruController::customizeToolbar);
    connect(ui.actionShowToolbar, &QAction::toggled, ui.mainToolbar, &QWidget::setVisible);
    connect(ui.mainToolbar, &QWidget::customContextMenuRequested, this,
        &oruController::showToolbarMenu);
    // The page shown and the album shown (a listing ends every move) both feed the rule.
    connect(
        ui.oruTabView, &QStackedWidget::currentChanged, this, &oruController::updateCommandStates);
    connect(this, &oruController::refreshed, this, &oruController::updateCommandStates);
    ui.actionPreferences->setMenuRole(QAction::PreferencesRole);
    ui.actionQuit->setMenuRole(QAction::QuitRole);
    ui.actionAbout->setMenuRole(QAction::AboutRole);

    // A value that is no list (written by hand, say) counts as never customised.
    const QVariant saved = Preferences::shared().value(kToolbarItemsKey);
    const bool isList
        = saved.typeId() == QMetaType::QVariantList || saved.typeId() == QMetaType::QStringList;
    m_toolbarIdentifiers = isList ? ToolbarItems::sanitized(saved.toStringList())
                                  : ToolbarItems::defaultItemIdentifiers();
    buildToolbar();
}

CommandState oruController::commandState() const
{
    const std::optional<oruItem> first = firstSelectedItem();
    CommandState state;
    state.importRunning = m_drafts && m_drafts->isBusy();
    state.fullPictureViewShown = window().ui().oruTabView->currentIndex() != 0;
    state.serviceBusy = m_service && m_service->isBusy();
    state.signedOn = m_signedOn;
    state.albumHistoryEmpty = m_albumHeap.count() == 0;
    state.selection = first ? selectionTagFor(tagViewOfFirstSelectedItem()) : SelectionTag::None;
    state.firstSelectedIsAlbum = first && first->isFolder();
    state.currentAlbumImported = m_currentAlbum.isImported();
    state.currentAlbumIsRoot = m_currentAlbum.uniqueID().isEmpty();
    state.hasDraftsToCommit = m_drafts && numberOfDraftItems() > 0;
    state.photoLibrariesBeingRead = m_readingPhotoLibraries;
    return state;
}

bool oruController::validateMenuItem(const QAction *item) const
{
    const std::optional<Command> command = commandOf(item);
    return command && validateGUIItem(*command, commandState());
}

bool oruController::validateToolbarItem(const QAction *item) const
{
    return validateMenuItem(item);
}

void oruController::updateCommandStates()
{
    const CommandState state = commandState();
    const QList<QAction *> actions = window().findChildren<QAction *>();
    for (QAction *action : actions) {
        if (const std::optional<Command> command = commandOf(action))
            action->setEnabled(validateGUIItem(*command, state));
    }
}

QToolBar &oruController::toolbar() const
{
    return *window().ui().mainToolbar;
}

QAction *oruController::toolbarItem(const QString &identifier) const
{
    return m_toolbarItems.value(identifier);
}

void oruController::setToolbarItemIdentifiers(const QStringList &identifiers)
{
    m_toolbarIdentifiers = ToolbarItems::sanitized(identifiers);
    Preferences::shared().setValue(kToolbarItemsKey, m_toolbarIdentifiers);
    buildToolbar();
}

void oruController::buildToolbar()
{
    QToolBar &bar = toolbar();
    bar.clear();
    qDeleteAll(m_toolbarItems);
    m_toolbarItems.clear();
    for (const QString &identifier : m_toolbarIdentifiers) {
        if (identifier == ToolbarItems::kSeparator) {
            bar.addSeparator();
            continue;
        }
        if (identifier == ToolbarItems::kSpace || identifier == ToolbarItems::kFlexibleSpace) {
            bar.addWidget(spaceWidget(identifier == ToolbarItems::kFlexibleSpace, &bar));
            continue;
        }
        const std::optional<ToolbarItem> item = ToolbarItems::itemForIdentifier(identifier);
        if (!item)
            continue;
        auto *action = new QAction(toolbarIcon(item->image), item->label(), &window());
        action->setObjectName(identifier);
        action->setToolTip(item->toolTip());
        action->setIconText(item->label());
        action->setProperty(kCommandProperty, static_cast<int>(item->command));
        // The toolbar runs the same command as the menu entry, through its action.
        connect(action, &QAction::triggered, this, [this, name = commandName(item->command)] {
            if (QAction *target = actionNamed(name))
                target->trigger();
        });
        bar.addAction(action);
        m_toolbarItems.insert(identifier, action);
    }
    changeLoginItem();
    updateCommandStates();
}

void oruController::showToolbarMenu(const QPoint &position)
{
    auto *menu = new QMenu(&toolbar());
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(window().ui().actionCustomizeToolbar);
    menu->addAction(window().ui().actionShowToolbar);
    menu->popup(toolbar().mapToGlobal(position));
}

void oruController::customizeToolbar()
{
    oruCustomizeToolbarController dialog(
        {ToolbarItems::allowedItemIdentifiers(), ToolbarItems::defaultItemIdentifiers(),
            &ToolbarItems::paletteLabel, &ToolbarItems::isRepeatable},
        m_toolbarIdentifiers, &window());
    if (m_alerts->runDialog(dialog) == QDialog::Accepted)
        setToolbarItemIdentifiers(dialog.items());
}

void oruController::changeLoginItem()
{
    if (QAction *item = toolbarItem(QStringLiteral("LoginItem"))) {
        const QString label = m_signedOn ? tr("Logout") : tr("Login");
        item->setText(label);
        item->setIconText(label);
        item->setToolTip(m_signedOn ? tr("Logout") : tr("Login to your account"));
        item->setIcon(toolbarIcon(m_signedOn ? QStringLiteral("logout") : QStringLiteral("login")));
    }
    window().ui().actionLoginLogout->setText(m_signedOn ? tr("Logout") : tr("Login..."));
}

QMenu *oruController::contextMenuWith(const QString &name, const QList<QAction *> &actions)
{
    auto *menu = new QMenu(&window());
    menu->setObjectName(name);
    for (QAction *action : actions) {
        if (action)
            menu->addAction(action);
        else
            menu->addSeparator();
    }
    return menu;
}

QMenu *oruController::contextualMenuForSelection(int tag)
{
    const int section = indexOfSection(quint32(tag));
    if (section < 0)
        return nullptr;
    const QList<oruItem> &items = m_pictureViewArrays[section];
    const quint32 index = m_pictureViewIndexes[section].firstIndex();
    if (index >= quint32(items.size()))
        return nullptr;
    Ui::MainWindow &ui = window().ui();
    if (!m_albumContextMenu) {
        m_albumContextMenu = contextMenuWith(QStringLiteral("albumContextMenu"),
            {ui.actionOpen, ui.actionGetInfo, nullptr, ui.actionManageSharing,
                ui.actionManageWebSharing, nullptr, ui.actionRemove});
        m_photoContextMenu = contextMenuWith(QStringLiteral("photoContextMenu"),
            {ui.actionOpen, ui.actionGetInfo, ui.actionRotateLeft, ui.actionRotateRight, nullptr,
                ui.actionRequestWallpaper, ui.actionDownloadPicture, nullptr, ui.actionRemove});
    }
    updateCommandStates();
    return items.at(index).isFolder() ? m_albumContextMenu : m_photoContextMenu;
}

void oruController::selectAll()
{
    window().ui().metaView->doCommand(KeyCommand::selectAll);
    updateCommandStates();
}

void oruController::showHelp()
{
    // The README of the installed package, else the one of the source tree it was built from.
    for (const QString &path :
        {QStringLiteral(PONDREL_INSTALLED_README), QStringLiteral(PONDREL_SOURCE_README)}) {
        if (QFileInfo(path).isFile()) {
            QDesktopServices::openUrl(QUrl::fromLocalFile(path));
            return;
        }
    }
    m_alerts->alert(oruAlertRequest::Kind::Warning, tr("The help is not installed."),
        tr("Pondrel Publisher's help (README.md) was not found on this computer."));
}

} // namespace pondrel
