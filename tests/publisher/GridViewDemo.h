// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "tests/common/DemoPhotoSource.h"

#include "publisher/views/PhotoViewHost.h"

#include <QScrollArea>

#include <array>
#include <memory>

class QMenu;

namespace pondrel {

class MUPhotoView;
class oruMetaView;

// The main window's browser in miniature: one container with the four sections, each a header
// and a grid of generated items, laid out again whenever the scroll area's width changes.
class GridViewDemo : public QScrollArea, public PhotoViewHost
{
public:
    explicit GridViewDemo(quint32 itemCount);
    ~GridViewDemo() override;

    void resetAllSelectionIndexes() override;
    QMenu *contextualMenuForSelection(int tag) override;
    bool openFile(const QString &path) override;

    MUPhotoView *grid(int section) const { return grids.at(std::size_t(section)); }
    void recalcViews();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::array<std::unique_ptr<DemoPhotoSource>, 4> sources;
    std::array<MUPhotoView *, 4> grids {};
    oruMetaView *metaView = nullptr;
    QMenu *contextMenu = nullptr;
};

} // namespace pondrel
