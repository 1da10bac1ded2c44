// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "publisher/views/MUPhotoViewDelegate.h"

#include <QImage>
#include <QList>
#include <QString>

#include <vector>

namespace pondrel {

// Generated albums and pictures for looking at and measuring the grid: a small pool of drawn
// pictures shared by all items, mixed badges and titles, and a selection of its own.
class DemoPhotoSource : public MUPhotoViewDelegate
{
public:
    DemoPhotoSource(quint32 count, quint32 seed);

    quint32 photoCountForPhotoView(MUPhotoView *) override { return quint32(items.size()); }
    QImage photoAtIndex(MUPhotoView *, quint32 index) override;
    QString titleAtIndex(MUPhotoView *, quint32 index) override;
    bool isFolderAtIndex(MUPhotoView *, quint32 index) override;
    QImage smallIconAtIndex(MUPhotoView *view, quint32 index) override;
    void attribsAtIndex(MUPhotoView *, quint32 index, bool &isShared, bool &emailShared,
        bool &webShared, bool &retrievalFailed) override;
    IndexSet selectionIndexesForPhotoView(MUPhotoView *) override { return selection; }
    void didSetSelectionIndexes(MUPhotoView *, const IndexSet &indexes) override;
    IndexSet willRemovePhotosAtIndexes(MUPhotoView *view, const IndexSet &indexes) override;

    void clearSelection() { selection = IndexSet(); }

private:
    struct Item
    {
        bool folder = false;
        int picture = 0;
        quint8 badges = 0;
        QString title;
    };

    std::vector<Item> items;
    IndexSet selection;
};

// The drawn pictures every source shares: landscapes, portraits and squares.
const QList<QImage> &demoPicturePool();

} // namespace pondrel
