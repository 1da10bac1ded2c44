// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/publisher/GridViewDemo.h"

#include "publisher/views/MUPhotoView.h"
#include "publisher/views/oruHeaderView.h"
#include "publisher/views/oruMetaView.h"

#include <QEvent>
#include <QMenu>
#include <QScrollBar>
#include <QTextStream>
#include <QVBoxLayout>

namespace pondrel {

GridViewDemo::GridViewDemo(quint32 itemCount)
{
    static const char *const titles[]
        = {"Draft", "Uploaded", "Uploaded (from other computers)", "Received"};
    // Uneven shares, so the sections differ in length as they do in use.
    static const quint32 shares[] = {3, 47, 30, 20};
    metaView = new oruMetaView;
    auto *layout = new QVBoxLayout(metaView);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    quint32 handedOut = 0;
    for (int section = 0; section < 4; ++section) {
        const quint32 count
            = section == 3 ? itemCount - handedOut : itemCount * shares[section] / 100;
        handedOut += count;
        sources[std::size_t(section)] = std::make_unique<DemoPhotoSource>(count, 17 + section);
        auto *header = new oruHeaderView;
        header->setHeaderText(QObject::tr(titles[section]));
        auto *grid = new MUPhotoView;
        grid->setDelegate(sources[std::size_t(section)].get());
        grid->setBackgroundColor(Qt::white);
        grid->setUseShadowBorder(true);
        grid->setUseOutlineBorder(true);
        grid->setUseBorderSelection(false);
        grid->setPhotoVerticalSpacing(55);
        grid->setPhotoHorizontalSpacing(100);
        grid->setTag(section + 1);
        layout->addWidget(header);
        layout->addWidget(grid);
        grids[std::size_t(section)] = grid;
    }
    layout->addStretch(1);
    setWidget(metaView);
    setWidgetResizable(true);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    verticalScrollBar()->setSingleStep(25);
    viewport()->installEventFilter(this);
    contextMenu = new QMenu(this);
    contextMenu->addAction(QObject::tr("Open"));
    contextMenu->addAction(QObject::tr("Delete"));
    PhotoViewHost::setShared(this);
    metaView->setFocus();
}

GridViewDemo::~GridViewDemo()
{
    PhotoViewHost::setShared(nullptr);
}

void GridViewDemo::recalcViews()
{
    for (MUPhotoView *grid : grids)
        grid->updateGridAndFrame();
}

bool GridViewDemo::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == viewport() && event->type() == QEvent::Resize)
        recalcViews();
    return QScrollArea::eventFilter(watched, event);
}

void GridViewDemo::resetAllSelectionIndexes()
{
    for (std::size_t section = 0; section < grids.size(); ++section) {
        sources[section]->clearSelection();
        grids[section]->update();
    }
}

QMenu *GridViewDemo::contextualMenuForSelection(int)
{
    return contextMenu;
}

bool GridViewDemo::openFile(const QString &path)
{
    QTextStream(stdout) << "open " << path << Qt::endl;
    return true;
}

} // namespace pondrel
