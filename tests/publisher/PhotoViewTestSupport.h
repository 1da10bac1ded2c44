// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "publisher/views/MUPhotoView.h"
#include "publisher/views/MUPhotoViewDelegate.h"
#include "publisher/views/PhotoViewHost.h"

#include <QMenu>
#include <QScrollArea>
#include <QStringList>
#include <QTest>

#include <memory>
#include <vector>

namespace pondrel {

// A data source with pictures of one colour and size and a selection of its own; it records
// what the view reports.
class TestSource : public MUPhotoViewDelegate
{
public:
    quint32 count = 0;
    QImage picture;
    IndexSet selection;
    std::vector<quint32> doubleClicked;
    std::vector<IndexSet> removalRequests;
    // Applied to the selection when an item is double-clicked, as a host opening an album would.
    std::optional<IndexSet> selectionAfterDoubleClick;

    quint32 photoCountForPhotoView(MUPhotoView *) override { return count; }
    QImage photoAtIndex(MUPhotoView *, quint32) override { return picture; }
    IndexSet selectionIndexesForPhotoView(MUPhotoView *) override { return selection; }
    void didSetSelectionIndexes(MUPhotoView *, const IndexSet &indexes) override
    {
        selection = indexes;
    }
    void doubleClickOnPhotoAtIndex(MUPhotoView *, quint32 index) override
    {
        doubleClicked.push_back(index);
        if (selectionAfterDoubleClick)
            selection = *std::exchange(selectionAfterDoubleClick, std::nullopt);
    }
    IndexSet willRemovePhotosAtIndexes(MUPhotoView *, const IndexSet &indexes) override
    {
        removalRequests.push_back(indexes);
        return {};
    }
};

// Stands in for the controller: counts selection resets (and performs them on the sources it
// knows) and records opened files.
class TestHost : public PhotoViewHost
{
public:
    TestHost() { PhotoViewHost::setShared(this); }
    ~TestHost() override { PhotoViewHost::setShared(nullptr); }

    int resets = 0;
    QStringList openedFiles;
    std::vector<TestSource *> sources;
    QMenu menu;
    std::vector<int> menuTags;

    void resetAllSelectionIndexes() override
    {
        ++resets;
        for (TestSource *source : sources)
            source->selection = IndexSet();
    }
    QMenu *contextualMenuForSelection(int tag) override
    {
        menuTags.push_back(tag);
        return &menu;
    }
    bool openFile(const QString &path) override
    {
        openedFiles.append(path);
        return true;
    }
};

// A grid shown in a scroll area whose content area is width wide.
struct ScrolledGrid
{
    explicit ScrolledGrid(int width, int height = 600)
    {
        area.setFrameShape(QFrame::NoFrame);
        area.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        area.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view = new MUPhotoView;
        area.setWidget(view);
        area.resize(width, height);
        area.show();
        [[maybe_unused]] const bool exposed = QTest::qWaitForWindowExposed(&area);
    }

    void showItemsOf(MUPhotoViewDelegate &source)
    {
        view->setDelegate(&source);
        view->updateGridAndFrame();
    }
    QImage grabView() { return view->grab().toImage(); }

    QScrollArea area;
    MUPhotoView *view = nullptr;
};

inline QImage solidPicture(int width, int height, QColor color)
{
    QImage picture(width, height, QImage::Format_RGB32);
    picture.fill(color);
    return picture;
}

} // namespace pondrel
