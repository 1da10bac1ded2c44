// SPDX-License-Identifier: GPL-2.0-or-later
#include "fuzz/FuzzSupport.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <cstdlib>
#include <memory>

namespace pondrel::fuzz {

void prepareProcess()
{
    static std::unique_ptr<QTemporaryDir> home;
    // Never destroyed: at exit Qt's own globals may already be gone.
    static QCoreApplication *application = nullptr;
    if (application)
        return;
    // Qt's complaints about broken input would drown libFuzzer's own lines.
    qputenv("QT_LOGGING_RULES", "*=false");
    home = std::make_unique<QTemporaryDir>();
    qputenv("HOME", home->path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home->path() + "/config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home->path() + "/data").toLocal8Bit());
    qputenv("XDG_CACHE_HOME", (home->path() + "/cache").toLocal8Bit());
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = {name, nullptr};
    application = new QCoreApplication(argc, argv);
}

} // namespace pondrel::fuzz
