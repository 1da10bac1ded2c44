// SPDX-License-Identifier: GPL-2.0-or-later
// The menu commands' connections and the Publisher's desktop interface: the bus requests
// (activate, open files, run a command by name) of this or a second Publisher.
#include "publisher/app/oruController.h"

#include "publisher/app/oruDesktopApplication.h"
#include "publisher/app/oruMainWindow.h"
#include "publisher/app/oruServiceThread.h"
#include "publisher/dialogs/oruAlertPresenter.h"
#include "support/oruLog.h"
#include "ui_MainWindow.h"

#include <QUrl>

namespace pondrel {

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
    connect(ui.actionImportPhotoLibrary, &QAction::triggered, this,
        &oruController::showImportIPhotoAlbum);
    connect(ui.actionManageSharing, &QAction::triggered, this, &oruController::manageSharing);
    connect(ui.actionManageWebSharing, &QAction::triggered, this, &oruController::manageWebSharing);
    connectCommandActions();
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
