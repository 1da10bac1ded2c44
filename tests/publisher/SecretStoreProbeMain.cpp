// SPDX-License-Identifier: GPL-2.0-or-later
// Saves a password as the Publisher does and reads it back, each through the desktop's secret
// store when one answers; prints where it went and what came back. A program of its own
// because GLib ends the process when its first session bus goes away.
//     pondrel-secret-store-probe USER PASSWORD
#include "publisher/app/oruSavedPassword.h"

#include <QCoreApplication>

#include <cstdio>

using namespace pondrel;

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 3)
        return 2;
    oruSavedPassword saved;
    saved.save(arguments.at(1), arguments.at(2), [&](oruSavedPassword::Storage storage) {
        std::printf("%s\n",
            storage == oruSavedPassword::Storage::SecretStore ? "secret-store"
                                                              : "preferences-file");
        saved.read(arguments.at(1), [](const QString &password) {
            std::printf("%s\n", qPrintable(password));
            QCoreApplication::quit();
        });
    });
    return application.exec();
}
