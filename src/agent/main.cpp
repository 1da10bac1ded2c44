// SPDX-License-Identifier: GPL-2.0-or-later
#include "agent/AgentTray.h"
#include "agent/SignalPipe.h"
#include "agent/oruAgent.h"
#include "support/Preferences.h"
#include "support/ProcessHeap.h"
#include "support/oruLog.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QSystemTrayIcon>

#include <cstdio>
#include <cstring>
#include <memory>

namespace pondrel {

namespace {

const QString kAgentDomain = QStringLiteral("com.trevane.oru_agent");

bool wantsHeadless(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--headless") == 0)
            return true;
    }
    return false;
}

// Without a window system a QApplication cannot even start; the Agent then runs on as it
// would with --headless.
bool hasDisplay()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY")
        || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        || !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

void parseArguments(const QCoreApplication &application)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Pondrel Agent: keeps this computer registered with the photo-album service, visits "
        "it at the intervals it asks for, and renders and uploads the pictures it requests. "
        "Steered by Pondrel Publisher through notifications on the session bus."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({QStringLiteral("headless"),
        QStringLiteral("Run without a tray icon, for machines without a desktop.")});
    parser.process(application);
}

} // namespace

} // namespace pondrel

using namespace pondrel;

int main(int argc, char **argv)
{
    configureProcessHeap();
    const bool display = hasDisplay();
    const bool headless = wantsHeadless(argc, argv) || !display;
    std::unique_ptr<QCoreApplication> application;
    if (headless)
        application = std::make_unique<QCoreApplication>(argc, argv);
    else
        application = std::make_unique<QApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("pondrel-agent"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PONDREL_VERSION));
    parseArguments(*application);
    if (!headless)
        QApplication::setQuitOnLastWindowClosed(false);
    Preferences::setApplicationDomain(kAgentDomain);

    oruAgent agent;
    QString errorMsg;
    if (!agent.claimBusName(errorMsg)) {
        std::fprintf(stderr, "pondrel-agent: %s\n", qPrintable(errorMsg));
        return 1;
    }
    agent.readSettings();

    std::unique_ptr<AgentTray> tray;
    if (!display)
        oruLog::platformLog(QStringLiteral("No display: running without a tray icon"));
    if (!headless) {
        if (!QSystemTrayIcon::isSystemTrayAvailable())
            oruLog::platformLog(QStringLiteral("No system tray: running on without a tray icon"));
        tray = std::make_unique<AgentTray>(agent);
    }

    SignalPipe signalPipe;
    QObject::connect(&signalPipe, &SignalPipe::received, &agent, [&agent](int signalNumber) {
        ORU_LOG(QStringLiteral("Signal %1: quitting").arg(signalNumber));
        agent.quit();
    });

    agent.start();
    return application->exec();
}
