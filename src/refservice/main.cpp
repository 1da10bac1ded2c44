// SPDX-License-Identifier: GPL-2.0-or-later
#include "refservice/DemoContent.h"
#include "refservice/ReferenceService.h"
#include "refservice/ServiceOptions.h"
#include "support/ProcessHeap.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <ctime>
#include <pthread.h>
#include <sys/stat.h>

namespace pondrel::refservice {

namespace {

// Blocks SIGINT and SIGTERM in every thread (the server's threads inherit the mask), so that
// only the main thread's sigwait sees them and the shutdown runs in ordinary code.
sigset_t blockStopSignals()
{
    sigset_t stopSet;
    sigemptyset(&stopSet);
    sigaddset(&stopSet, SIGINT);
    sigaddset(&stopSet, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSet, nullptr);
    return stopSet;
}

// How often the service drops expired sessions and abandoned uploads while it runs.
constexpr time_t kTidyIntervalSeconds = 60;

// Waits for SIGINT or SIGTERM, tidying the service up between.
void serveUntilStopped(ReferenceService &service, const sigset_t &stopSignals)
{
    const timespec interval {kTidyIntervalSeconds, 0};
    while (sigtimedwait(&stopSignals, nullptr, &interval) < 0) {
        try {
            service.tidy();
        } catch (const std::exception &error) {
            std::fprintf(stderr, "pondrel-refservice: tidying up failed: %s\n", error.what());
        }
    }
}

} // namespace

} // namespace pondrel::refservice

using namespace pondrel::refservice;

int main(int argc, char **argv)
{
    pondrel::configureProcessHeap();
    const sigset_t stopSignals = blockStopSignals();
    // Everything the service creates (database, renditions, uploads, log) is the user's own.
    umask(S_IRWXG | S_IRWXO);
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("pondrel-refservice"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PONDREL_VERSION));

    QString errorMsg;
    const std::optional<ServiceConfig> config
        = ServiceOptions::parse(QCoreApplication::arguments(), errorMsg);
    if (!config) {
        if (errorMsg.isEmpty())
            return 0;
        std::fprintf(stderr, "pondrel-refservice: %s\n", qPrintable(errorMsg));
        return 2;
    }

    ReferenceService service(*config);
    if (!service.start(errorMsg)) {
        std::fprintf(stderr, "pondrel-refservice: %s\n", qPrintable(errorMsg));
        return 1;
    }
    const QString host = config->listenHost.contains(u':')
        ? QStringLiteral("[%1]").arg(config->listenHost)
        : config->listenHost;
    std::printf("listening on http://%s:%u\n", qPrintable(host), unsigned(service.port()));
    if (config->admin)
        std::printf("admin token: %s\n", qPrintable(service.adminToken()));
    if (config->demo)
        std::printf("demo account: %s password: %s\n", qPrintable(DemoContent::kEmail),
            qPrintable(DemoContent::kPassword));
    std::fflush(stdout);

    serveUntilStopped(service, stopSignals);
    service.stop();
    return 0;
}
