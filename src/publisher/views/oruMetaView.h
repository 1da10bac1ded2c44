// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "publisher/views/KeyCommand.h"

#include <QWidget>

namespace pondrel {

// The white document of the main scroll area that stacks the four sections; it hands its key
// commands to the grids inside it and takes dropped files like they do.
class oruMetaView : public QWidget
{
    Q_OBJECT

public:
    explicit oruMetaView(QWidget *parent = nullptr);

    // Whether the last key was handled by a command.
    bool consumedKeyDown() const { return consumedKeyDown_; }
    bool doCommand(KeyCommand command);

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    bool consumedKeyDown_ = false;
};

} // namespace pondrel
