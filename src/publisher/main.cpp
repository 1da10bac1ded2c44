// SPDX-License-Identifier: GPL-2.0-or-later
#include "publisher/app/oruController.h"
#include "publisher/app/oruDesktopApplication.h"
#include "publisher/app/oruMainWindow.h"
#include "publisher/dialogs/oruAlertPresenter.h"
#include "support/Preferences.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

#include <cstdio>

using namespace pondrel;

namespace {

QStringList parseArguments(const QApplication &application)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Pondrel Publisher: browse, prepare and publish your online photo albums. Files and "
        "folders named here are handed to the Publisher already running in this session, if "
        "there is one."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("files"),
        QStringLiteral("Picture files or folders to add as drafts."), QStringLiteral("[files...]"));
    parser.process(application);
    return parser.positionalArguments();
}

} // namespace

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pondrel Publisher"));
    QApplication::setApplicationVersion(QStringLiteral(PONDREL_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("com.trevane.pondrel"));
    QApplication::setQuitOnLastWindowClosed(false);
    const QStringList files = parseArguments(application);
    Preferences::setApplicationDomain(Preferences::kSharedDomain);

    oruDesktopApplication desktop;
    QString errorMsg;
    switch (desktop.claim(errorMsg)) {
    case oruDesktopApplication::Claim::Owned:
        break;
    case oruDesktopApplication::Claim::TakenByAnother:
        if (!oruDesktopApplication::handOver(files, errorMsg)) {
            std::fprintf(stderr, "pondrel-publisher: %s\n", qPrintable(errorMsg));
            return 1;
        }
        return 0;
    case oruDesktopApplication::Claim::NoBus:
        std::fprintf(stderr, "pondrel-publisher: %s; running without the desktop interface\n",
            qPrintable(errorMsg));
        break;
    }

    oruController controller;
    // For scripts and tests that drive the Publisher through its bus interface: every alert
    // takes its default button, every dialog is cancelled.
    if (qEnvironmentVariableIsSet("PONDREL_UNATTENDED"))
        controller.alerts().setUnattended(true);
    if (!controller.awakeFromNib())
        return 1;
    controller.setDesktopApplication(&desktop);
    QObject::connect(&controller, &oruController::terminated, &application, &QApplication::quit);
    controller.window().show();
    QTimer::singleShot(0, &controller, [&controller, files] {
        controller.applicationDidFinishLaunching();
        if (!files.isEmpty())
            controller.openUris(oruDesktopApplication::urisForArguments(files));
    });
    return application.exec();
}
