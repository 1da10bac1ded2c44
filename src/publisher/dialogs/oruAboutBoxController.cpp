// SPDX-License-Identifier: GPL-2.0-or-later
#include "publisher/dialogs/oruAboutBoxController.h"

#include "publisher/views/Artwork.h"
#include "ui_AboutBox.h"

#include <QCoreApplication>
#include <QDialog>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollBar>

oruAboutBoxController &oruAboutBoxController::sharedInstance()
{
    static oruAboutBoxController instance;
    return instance;
}

oruAboutBoxController::oruAboutBoxController() = default;
oruAboutBoxController::~oruAboutBoxController() = default;

void oruAboutBoxController::fillPanel()
{
    window = std::make_unique<QDialog>();
    ui = std::make_unique<Ui::AboutBox>();
    ui->setupUi(window.get());
    const QString appName = QCoreApplication::applicationName();
    ui->appNameField->setText(appName);
    window->setWindowTitle(tr("About %1").arg(appName));
    ui->versionField->setText(tr("Version %1").arg(QCoreApplication::applicationVersion()));
    ui->creditsField->setHtml(Artwork::credits());
    ui->copyrightField->setText(tr("Copyright © 2026 Trevane. All rights reserved."));
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        window->move(available.center() - window->rect().center());
    }
}

void oruAboutBoxController::showPanel()
{
    if (!window)
        fillPanel();
    if (!window->isVisible())
        ui->creditsField->verticalScrollBar()->setValue(0);
    window->show();
    window->raise();
    window->activateWindow();
}
