// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/publisher/GridViewDemo.h"

#include "publisher/views/MUPhotoView.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QPixmap>
#include <QScrollBar>
#include <QTextStream>

using namespace pondrel;

// Shows the four sections filled with generated items; with --screenshot it saves one window's
// picture (at the screen's scale, e.g. QT_SCALE_FACTOR=2) and quits.
int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("pondrel-gridview-demo"));
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption items(QStringLiteral("items"),
        QStringLiteral("Number of generated items (default 500)."), QStringLiteral("N"),
        QStringLiteral("500"));
    const QCommandLineOption screenshot(QStringLiteral("screenshot"),
        QStringLiteral("Save the window as a PNG file and quit."), QStringLiteral("file"));
    const QCommandLineOption select(QStringLiteral("select"),
        QStringLiteral("Select this many items of the first grid shown."), QStringLiteral("N"),
        QStringLiteral("0"));
    parser.addOptions({items, screenshot, select});
    parser.process(app);

    bool valid = false;
    const uint count = parser.value(items).toUInt(&valid);
    if (!valid) {
        QTextStream(stderr) << "--items needs a whole number" << Qt::endl;
        return 2;
    }
    GridViewDemo demo(count);
    demo.resize(1000, 700);
    demo.setWindowTitle(QStringLiteral("Pondrel grid view"));
    demo.show();
    demo.recalcViews();

    const uint selected = parser.value(select).toUInt();
    if (selected > 0) {
        for (int section = 0; section < 4; ++section) {
            MUPhotoView *grid = demo.grid(section);
            if (grid->photoCount() > 1) {
                grid->setSelectionIndexes(
                    IndexSet::fromRange(1, std::min(selected, grid->photoCount() - 1)));
                break;
            }
        }
    }
    if (parser.isSet(screenshot)) {
        QApplication::processEvents();
        const bool saved = demo.grab().save(parser.value(screenshot), "PNG");
        return saved ? 0 : 1;
    }
    return app.exec();
}
