// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "publisher/views/IndexSet.h"

#include <QImage>
#include <QString>

namespace pondrel {

class MUPhotoView;

// Data source and delegate of a photo grid in one interface. Every operation has a harmless
// default, so a host overrides only what it needs. The view asks about an index only when it is
// below the current count.
class MUPhotoViewDelegate
{
public:
    virtual ~MUPhotoViewDelegate() = default;

    virtual quint32 photoCountForPhotoView(MUPhotoView *) { return 0; }
    // A null image means "no picture": the view draws its placeholder.
    virtual QImage photoAtIndex(MUPhotoView *, quint32) { return {}; }
    // A cheap picture for drawing while sizes settle.
    virtual QImage fastPhotoAtIndex(MUPhotoView *view, quint32 index)
    {
        return photoAtIndex(view, index);
    }
    virtual QString titleAtIndex(MUPhotoView *, quint32) { return QString(""); }
    virtual bool isFolderAtIndex(MUPhotoView *, quint32) { return false; }
    // Drawn at its own size in device-independent pixels (its device pixel ratio is honoured).
    virtual QImage smallIconAtIndex(MUPhotoView *, quint32) { return {}; }
    // The view presets retrievalFailed to true before asking; a host sets all four.
    virtual void attribsAtIndex(MUPhotoView *, quint32, bool &isShared, bool &emailShared,
        bool &webShared, bool &retrievalFailed)
    {
        Q_UNUSED(isShared);
        Q_UNUSED(emailShared);
        Q_UNUSED(webShared);
        Q_UNUSED(retrievalFailed);
    }

    virtual IndexSet selectionIndexesForPhotoView(MUPhotoView *) { return {}; }
    virtual IndexSet willSetSelectionIndexes(MUPhotoView *, const IndexSet &proposed)
    {
        return proposed;
    }
    virtual void didSetSelectionIndexes(MUPhotoView *, const IndexSet &) { }
    virtual void doubleClickOnPhotoAtIndex(MUPhotoView *, quint32) { }
    // The indexes the view shall remove from its own list; a host that removes items itself
    // answers an empty set.
    virtual IndexSet willRemovePhotosAtIndexes(MUPhotoView *, const IndexSet &) { return {}; }
    virtual void didRemovePhotosAtIndexes(MUPhotoView *, const IndexSet &) { }
};

} // namespace pondrel
