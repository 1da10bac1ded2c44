// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QFileDialog>

namespace pondrel {

// The open panel of Add Pictures: several pictures and folders chosen at once; at the top level,
// where only albums can be made, folders only. The platform's own panels choose files or
// folders but never both, so this is always Qt's panel.
class oruOpenPanel : public QFileDialog
{
    Q_OBJECT

public:
    oruOpenPanel(bool foldersOnly, const QString &pictureFilter, QWidget *parent = nullptr);

    // Open takes the chosen folders as they are, where QFileDialog would step into them (a
    // double click still does).
    void accept() override;

private:
    bool m_foldersOnly;
};

} // namespace pondrel
