// SPDX-License-Identifier: GPL-2.0-or-later
// The menu and toolbar commands, their enabling, and the Publisher's desktop interface: the
// bus requests (activate, open files, run a command by name) of this or a second Publisher.
#include "publisher/app/oruController.h"

#include "publisher/app/oruDesktopApplication.h"
#include "publisher/app/oruMainWindow.h"
#include "publisher/app/oruServiceThread.h"
#include "publisher/dialogs/oruAlertPresenter.h"
#include "support/oruLog.h"
#include "ui_MainWindow.h"

#include <QUrl>

namespace pondrel {

namespace {

// Command names as the desktop's ActivateAction uses them, and their menu actions.
const QList<QPair<QString, QString>> &commandTable()
{
    static const QList<QPair<QString, QString>> table {
        {QStringLiteral("refresh"), QStringLiteral("actionRefresh")},
        {QStringLiteral("go-up"), QStringLiteral("actionGoUp")},
        {QStringLiteral("open"), QStringLiteral("actionOpen")},
        {QStringLiteral("new-album"), QStringLiteral("actionNewAlbum")},
        {QStringLiteral("commit"), QStringLiteral("actionCommit")},
        {QStringLiteral("import"), QStringLiteral("actionImport")},
        {QStringLiteral("info"), QStringLiteral("actionGetInfo")},
        {QStringLiteral("rotate-left"), QStringLiteral("actionRotateLeft")},
        {QStringLiteral("rotate-right"), QStringLiteral("actionRotateRight")},
        {QStringLiteral("remove"), QStringLiteral("actionRemove")},
        {QStringLiteral("login-logout"), QStringLiteral("actionLoginLogout")},
        {QStringLiteral("new-account"), QStringLiteral("actionNewAccount")},
        {QStringLiteral("account"), QStringLiteral("actionAccount")},
        {QStringLiteral("preferences"), QStringLiteral("actionPreferences")},
        {QStringLiteral("about"), QStringLiteral("actionAbout")},
        {QStringLiteral("quit"), QStringLiteral("actionQuit")},
    };
    return table;
}

} // namespace

QStringList oruController::actionNames()
{
    QStringList names;
    for (const auto &[name, action] : commandTable())
        names.append(name);
    return names;
}

QAction *oruController::actionNamed(const QString &name) const
{
    for (const auto &[command, action] : commandTable()) {
        if (command == name)
            return window().findChild<QAction *>(action);
    }
    return nullptr;
}

void oruController::connectActions()
{
    Ui::MainWindow &ui = window().ui();
    connect(ui.actionRefresh, &QAction::triggered, this, &oruController::refresh);
    connect(ui.actionGoUp, &QAction::triggered, this, &oruController::goUp);
    connect(ui.actionOpen, &QAction::triggered, this, &oruController::openItem);
    connect(ui.actionLoginLogout, &QAction::triggered, this, &oruController::loginOrLogout);
    connect(ui.actionNewAccount, &QAction::triggered, this, &oruController::createNewAccount);
    connect(ui.actionAccount, &QAction::triggered, this, &oruController::showAccountPanel);
    connect(ui.actionPreferences, &QAction::triggered, this, &oruController::showPrefs);
    connect(ui.actionAbout, &QAction::triggered, this, &oruController::showAboutBox);
    connect(ui.actionQuit, &QAction::triggered, this, &oruController::terminate);
    connect(ui.actionManageSharing, &QAction::triggered, this, &oruController::manageSharing);
    connect(
        ui.actionManageWebSharing, &QAction::triggered, this, &oruController::manageWebSharing);
    ui.actionPreferences->setMenuRole(QAction::PreferencesRole);
    ui.actionQuit->setMenuRole(QAction::QuitRole);
    ui.actionAbout->setMenuRole(QAction::AboutRole);
}

void oruController::updateCommandStates()
{
    Ui::MainWindow &ui = window().ui();
    const bool busy = m_service && m_service->isBusy();
    ui.actionLoginLogout->setEnabled(!busy);
    ui.actionNewAccount->setEnabled(!busy);
    ui.actionRefresh->setEnabled(m_signedOn && !busy);
    ui.actionGoUp->setEnabled(m_signedOn && m_assetsHeap.count() > 0);
    ui.actionOpen->setEnabled(m_signedOn && tagViewOfFirstSelectedItem() != kMissingTag);
    const bool draftsIdle = m_drafts && !m_drafts->isBusy();
    ui.actionNewAlbum->setEnabled(m_signedOn && draftsIdle && !m_currentAlbum.isImported());
    ui.actionCommit->setEnabled(m_signedOn && draftsIdle && numberOfDraftItems() > 0);
    const bool selected = m_signedOn && tagViewOfFirstSelectedItem() != kMissingTag;
    ui.actionImport->setEnabled(m_signedOn && draftsIdle && !m_currentAlbum.isImported());
    ui.actionGetInfo->setEnabled(selected);
    ui.actionRotateLeft->setEnabled(selected && draftsIdle);
    ui.actionRotateRight->setEnabled(selected && draftsIdle);
    ui.actionRemove->setEnabled(selected && draftsIdle);
    const bool sharable = firstSelectedSharableAlbum().has_value();
    ui.actionManageSharing->setEnabled(sharable);
    ui.actionManageWebSharing->setEnabled(sharable);
}

bool oruController::activateAction(const QString &name)
{
    QAction *action = actionNamed(name);
    if (!action || !action->isEnabled()) {
        ORU_LOG(QStringLiteral("Command %1 is %2")
                    .arg(name, action ? QStringLiteral("disabled") : QStringLiteral("unknown")));
        return false;
    }
    action->trigger();
    return true;
}

void oruController::activate()
{
    window().show();
    window().setWindowState(window().windowState() & ~Qt::WindowMinimized);
    window().raise();
    window().activateWindow();
}

void oruController::openUris(const QStringList &uris)
{
    activate();
    QStringList refused;
    for (const QString &uri : uris) {
        const QUrl url(uri);
        if (url.isLocalFile())
            openFile(url.toLocalFile());
        else
            refused.append(uri);
    }
    if (!refused.isEmpty())
        m_alerts->alert(oruAlertRequest::Kind::Warning, tr("Some items cannot be added."),
            tr("Only files and folders on this computer can be added:\n%1")
                .arg(refused.join(QLatin1Char('\n'))));
}

bool oruController::openFile(const QString &path)
{
    ORU_LOG(QStringLiteral("openFile: %1").arg(path));
    m_drafts->openFile(path, quint32(m_currentPermissions));
    return true;
}

void oruController::setDesktopApplication(oruDesktopApplication *application)
{
    m_desktopApplication = application;
    // Queued: a command may open a modal dialog, and the bus call must be answered first.
    connect(application, &oruDesktopApplication::activateRequested, this, &oruController::activate,
        Qt::QueuedConnection);
    connect(application, &oruDesktopApplication::openRequested, this, &oruController::openUris,
        Qt::QueuedConnection);
    connect(
        application, &oruDesktopApplication::actionRequested, this,
        [this](const QString &name) { activateAction(name); }, Qt::QueuedConnection);
}

} // namespace pondrel
