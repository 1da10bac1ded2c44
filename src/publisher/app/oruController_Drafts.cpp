// SPDX-License-Identifier: GPL-2.0-or-later
// The drafts and their file: every change is written as it happens (for the signed-on
// account), and at sign-on the drafts a previous run left are offered back.
#include "publisher/app/oruController.h"

#include "publisher/app/oruMainWindow.h"
#include "publisher/dialogs/oruAlertPresenter.h"
#include "support/oruLog.h"
#include "ui_MainWindow.h"

namespace pondrel {

void oruController::setUpDrafts()
{
    m_drafts = std::make_unique<DraftsWorkflow>(
        &window(),
        [this](const QString &title, const QString &message, const QStringList &buttons) {
            return m_alerts->alert(oruAlertRequest::Kind::Informational, title, message, buttons);
        },
        [this] { return m_currentAlbum.uniqueID(); });
    connect(m_drafts.get(), &DraftsWorkflow::draftsChanged, this, [this] {
        if (m_signedOn)
            refresh();
        updateCommandStates();
    });
    connect(m_drafts.get(), &DraftsWorkflow::statusShown, this, &oruController::showStatus);
    connect(m_drafts.get(), &DraftsWorkflow::statusHidden, this, &oruController::hideStatus);
    connect(m_drafts.get(), &DraftsWorkflow::busyChanged, this,
        &oruController::updateCommandStates);
    connect(m_drafts.get(), &DraftsWorkflow::commitFinished, this,
        &oruController::draftsCommitted);
    Ui::MainWindow &ui = window().ui();
    connect(ui.actionNewAlbum, &QAction::triggered, this, &oruController::newAlbum);
    connect(ui.actionImport, &QAction::triggered, this, &oruController::importPicture);
    connect(ui.actionCommit, &QAction::triggered, this, &oruController::commitDraftsToServer);
    connect(ui.actionGetInfo, &QAction::triggered, this, &oruController::getInfo);
    connect(ui.actionRotateLeft, &QAction::triggered, this, &oruController::rotateLeft);
    connect(ui.actionRotateRight, &QAction::triggered, this, &oruController::rotateRight);
    connect(ui.actionRemove, &QAction::triggered, this, &oruController::removeItem);
}

bool oruController::saveDraftAssets() const
{
    m_drafts->flush();
    return true;
}

void oruController::draftsSignedOn(const QString &account)
{
    m_drafts->offerRestore(account, *m_orunet);
    updateCommandStates();
}

} // namespace pondrel
