// SPDX-License-Identifier: GPL-2.0-or-later
// Takes a picture of the Publisher's window signed on to an account, for the documentation:
//     PONDREL_SERVICE_URL=http://127.0.0.1:PORT QT_SCALE_FACTOR=2 pondrel-publisher-screenshot
//         USER PASSWORD out.png [--dark]
// Runs the real controller and window in process; the picture is what the window draws.
#include "publisher/app/oruController.h"
#include "publisher/app/oruMainWindow.h"
#include "publisher/dialogs/oruAlertPresenter.h"
#include "support/Preferences.h"

#include <QApplication>
#include <QToolBar>
#include <QPalette>
#include <QStyleFactory>
#include <QTimer>

#include <cstdio>

using namespace pondrel;

namespace {

// A dark desktop theme as Fusion draws it, to show the window on one.
QPalette darkPalette()
{
    QPalette palette;
    const QColor window(45, 45, 48);
    const QColor base(30, 30, 32);
    const QColor text(230, 230, 230);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, window);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, window);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::ToolTipBase, window);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::Highlight, QColor(61, 122, 214));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    for (const QPalette::ColorRole role :
        {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, QColor(120, 120, 124));
    return palette;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pondrel Publisher"));
    const QStringList arguments = QApplication::arguments();
    const bool dark = arguments.size() == 5 && arguments.at(4) == QLatin1String("--dark");
    if (arguments.size() != 4 && !dark) {
        std::fprintf(
            stderr, "usage: pondrel-publisher-screenshot USER PASSWORD OUT.png [--dark]\n");
        return 2;
    }
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    if (dark)
        QApplication::setPalette(darkPalette());
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
            // On a dark theme only the menu bar and toolbar: the grids keep their light page.
            const QRect area = dark
                ? QRect(QPoint(0, 0), QPoint(controller.window().width() - 1,
                                          controller.toolbar().geometry().bottom()))
                : controller.window().rect();
            status = controller.window().grab(area).save(arguments.at(3)) ? 0 : 1;
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
