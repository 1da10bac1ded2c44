// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "model/oruItem.h"
#include "publisher/dialogs/InfoDialogSupport.h"

#include <QDialog>

#include <memory>

namespace pondrel {

namespace Ui {
class FolderInfo;
}

// The album info dialog ("FolderInfo"): name, description, rating, cover-picture option and
// permissions of an album, on a copy of it. In creation mode it names a new draft album. It
// only edits: the caller reads item() after an accepted run and applies what changed.
class oruFolderInfoController : public QDialog
{
    Q_OBJECT

public:
    oruFolderInfoController(const oruItem &item, bool forCreation, QWidget *parent = nullptr,
        InfoDialogSupport::Alert alert = {});
    ~oruFolderInfoController() override;

    const oruItem &item() const { return m_item; }

public slots:
    void accept() override;
    void changeAllowComment();
    void controlTextDidChange();

private:
    std::unique_ptr<Ui::FolderInfo> m_ui;
    oruItem m_item;
    bool m_forCreation;
    InfoDialogSupport::Alert m_alert;
};

} // namespace pondrel
