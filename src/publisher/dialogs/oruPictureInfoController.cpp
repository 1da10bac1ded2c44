// SPDX-License-Identifier: GPL-2.0-or-later
#include "publisher/dialogs/oruPictureInfoController.h"

#include "support/oruLog.h"

#include "ui_PictureInfo.h"

namespace pondrel {

using namespace InfoDialogSupport;

oruPictureInfoController::oruPictureInfoController(
    const oruItem &item, QWidget *parent, Alert alert)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::PictureInfo>())
    , m_item(item)
    , m_alert(alert ? std::move(alert) : messageBoxAlert(this))
{
    m_ui->setupUi(this);
    ORU_LOG(QStringLiteral("item:%1").arg(item.description()));
    fillRatings(*m_ui->ratingPopUp);
    m_ui->nameField->setText(item.name());
    m_ui->descField->setPlainText(item.comment());
    selectTag(*m_ui->ratingPopUp, item.rating());
    const quint32 permissions = item.permissions();
    m_ui->allowCommentCheckBox->setChecked(permissions & kAllowComments);
    m_ui->descField->setReadOnly(!(permissions & kAllowComments));
    m_ui->allowExportCheckBox->setChecked(permissions & kAllowExport);
    m_ui->allowDownloadCheckBox->setChecked(permissions & kAllowDownload);
    m_ui->allowWallPaperDownloadCheckBox->setChecked(permissions & kAllowWallpaper);

    connect(m_ui->allowCommentCheckBox, &QCheckBox::toggled, this,
        &oruPictureInfoController::changeAllowComment);
    connect(m_ui->okButton, &QPushButton::clicked, this, &oruPictureInfoController::accept);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

oruPictureInfoController::~oruPictureInfoController() = default;

void oruPictureInfoController::changeAllowComment()
{
    const bool comments = m_ui->allowCommentCheckBox->isChecked();
    m_ui->descField->setReadOnly(!comments);
    if (!comments)
        m_ui->descField->setPlainText(m_item.comment());
}

void oruPictureInfoController::accept()
{
    if (m_ui->nameField->text().isEmpty()) {
        m_alert(tr("Invalid Name."), tr("The picture name can not be empty."));
        return;
    }
    m_item.setName(m_ui->nameField->text());
    m_item.setComment(m_ui->descField->toPlainText());
    m_item.setRating(selectedTag(*m_ui->ratingPopUp));
    m_item.setPermissions((m_ui->allowCommentCheckBox->isChecked() ? kAllowComments : 0)
        | (m_ui->allowExportCheckBox->isChecked() ? kAllowExport : 0)
        | (m_ui->allowDownloadCheckBox->isChecked() ? kAllowDownload : 0) | kPictureAlways
        | (m_ui->allowWallPaperDownloadCheckBox->isChecked() ? kAllowWallpaper : 0));
    ORU_LOG(m_item.description());
    QDialog::accept();
}

} // namespace pondrel
