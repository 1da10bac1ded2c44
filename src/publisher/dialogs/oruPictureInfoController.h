// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "model/oruItem.h"
#include "publisher/dialogs/InfoDialogSupport.h"

#include <QDialog>

#include <memory>

namespace pondrel {

namespace Ui {
class PictureInfo;
}

// The picture info dialog ("PictureInfo"): name, description, rating and permissions of a
// picture, on a copy of it. The caller reads item() after an accepted run.
class oruPictureInfoController : public QDialog
{
    Q_OBJECT

public:
    explicit oruPictureInfoController(
        const oruItem &item, QWidget *parent = nullptr, InfoDialogSupport::Alert alert = {});
    ~oruPictureInfoController() override;

    const oruItem &item() const { return m_item; }

public slots:
    void accept() override;
    void changeAllowComment();

private:
    std::unique_ptr<Ui::PictureInfo> m_ui;
    oruItem m_item;
    InfoDialogSupport::Alert m_alert;
};

} // namespace pondrel
