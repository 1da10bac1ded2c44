// SPDX-License-Identifier: GPL-2.0-or-later
// Takes a picture of the Publisher's window signed on to an account, for the documentation:
//     PONDREL_SERVICE_URL=http://127.0.0.1:PORT QT_SCALE_FACTOR=2 pondrel-publisher-screenshot
//         USER PASSWORD out.png
// Runs the real controller and window in process; the picture is what the window draws.
#include "publisher/app/oruController.h"
#include "publisher/app/oruMainWindow.h"
#include "publisher/dialogs/oruAlertPresenter.h"
#include "support/Preferences.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

using namespace pondrel;

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pondrel Publisher"));
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() != 4) {
        std::fprintf(stderr, "usage: pondrel-publisher-screenshot USER PASSWORD OUT.png\n");
        return 2;
    }
    Preferences::setApplicationDomain(Preferences::kSharedDomain);
    qputenv("PONDREL_AGENT_PROGRAM", "/bin/true");
    pondrel::oruController controller;
    controller.alerts().setUnattended(true);
    controller.window().resize(900, 560);
    controller.window().show();
    if (!controller.awakeFromNib())
        return 1;
    int status = 1;
    QObject::connect(&controller, &pondrel::oruController::refreshed, &application, [&] {
        // Let the grids draw once before the picture is taken.
        QTimer::singleShot(300, &application, [&] {
            status = controller.window().grab().save(arguments.at(3)) ? 0 : 1;
            application.quit();
        });
    });
    controller.loginWithUser(arguments.at(1), arguments.at(2), [&](bool signedOn) {
        if (!signedOn)
            application.exit(1);
    });
    application.exec();
    return status;
}
