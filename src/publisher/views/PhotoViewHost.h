// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QString>

class QMenu;

namespace pondrel {

// What the grids, headers and the section container ask of the application as a whole: the
// controller's selection reset and context menu, and the application's file opening. The
// Publisher installs its controller at start-up; until then a host that does nothing answers.
class PhotoViewHost
{
public:
    virtual ~PhotoViewHost() = default;

    // Clears the selections of all grid views and redisplays them.
    virtual void resetAllSelectionIndexes() { }
    // The context menu for the selection of the grid with this tag, or none; the host keeps it.
    virtual QMenu *contextualMenuForSelection(int tag)
    {
        Q_UNUSED(tag);
        return nullptr;
    }
    // Imports one dropped file.
    virtual bool openFile(const QString &path)
    {
        Q_UNUSED(path);
        return false;
    }

    static PhotoViewHost &shared();
    // The host is not owned; pass nullptr to return to the host that does nothing.
    static void setShared(PhotoViewHost *host);
};

} // namespace pondrel
