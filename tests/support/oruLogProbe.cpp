// SPDX-License-Identifier: GPL-2.0-or-later
// A small program for the logging tests: one diagnostic line and one activity row from a worker
// thread, then a fatal-condition line from a method. Prints the diagnostic's line number.
#include "support/oruLog.h"

#include <QCoreApplication>

#include <cstdio>
#include <thread>

namespace pondrel {

class Renderer
{
public:
    void render() { ORU_FATAL(QStringLiteral("an image without a bitmap")); }
};

static void writeFromWorker()
{
    ORU_LOG(QStringLiteral("hello from a worker"));
    std::printf("%d\n", __LINE__ - 1);
    oruLog::add2csv(QStringLiteral("uploaded,42"));
}

} // namespace pondrel

using namespace pondrel;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("oru_log_probe"));
    std::thread worker(writeFromWorker);
    worker.join();
    Renderer().render();
    return 0;
}
