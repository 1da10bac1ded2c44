// SPDX-License-Identifier: GPL-2.0-or-later
#include "publisher/app/oruController.h"
#include "publisher/app/oruDesktopApplication.h"
#include "publisher/app/oruMainWindow.h"
#include "publisher/dialogs/oruAlertPresenter.h"
#include "support/Preferences.h"
#include "support/ProcessHeap.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

#include <cstdio>

using namespace pondrel;

namespace {

QStringList parseArguments(const QCoreApplication &application)
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

void nameApplication()
{
    QCoreApplication::setApplicationName(QStringLiteral("Pondrel Publisher"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PONDREL_VERSION));
}

// --help and --version must answer in a terminal without a display, where the window
// system's plug-in would abort before the parser ever runs.
bool asksOnlyForInformation(int argc, char **argv)
{
    static const QByteArrayList kInformationOptions {
        "-h", "--help", "-?", "--help-all", "-v", "--version"};
    for (int i = 1; i < argc; ++i) {
        if (kInformationOptions.contains(QByteArray(argv[i])))
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    configureProcessHeap();
    if (asksOnlyForInformation(argc, argv)) {
        const QCoreApplication information(argc, argv);
        nameApplication();
        parseArguments(information);
        return 0;
    }
    QApplication application(argc, argv);
    nameApplication();
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
