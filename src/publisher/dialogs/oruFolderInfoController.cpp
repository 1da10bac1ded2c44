// SPDX-License-Identifier: GPL-2.0-or-later
#include "publisher/dialogs/oruFolderInfoController.h"

#include "support/oruLog.h"

#include "ui_FolderInfo.h"

namespace pondrel {

using namespace InfoDialogSupport;

oruFolderInfoController::oruFolderInfoController(
    const oruItem &item, bool forCreation, QWidget *parent, Alert alert)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::FolderInfo>())
    , m_item(item)
    , m_forCreation(forCreation)
    , m_alert(alert ? std::move(alert) : messageBoxAlert(this))
{
    m_ui->setupUi(this);
    fillRatings(*m_ui->ratingPopUp);
    fillCoverPictureOptions(*m_ui->thumbnailOptionsPopUp);
    m_ui->nameField->setText(item.name());
    m_ui->descField->setPlainText(item.comment());
    selectTag(*m_ui->ratingPopUp, item.rating());
    if (forCreation) {
        m_ui->thumbnailOptionsPopUp->removeItem(0);
        m_ui->okButton->setEnabled(false);
    }
    selectTag(*m_ui->thumbnailOptionsPopUp, item.thumbnailOptions());
    const bool comments = item.permissions() & kAllowComments;
    m_ui->allowCommentCheckBox->setChecked(comments);
    m_ui->descField->setReadOnly(!comments);
    m_ui->allowExportCheckBox->setChecked(item.permissions() & kAllowExport);

    connect(m_ui->nameField, &QLineEdit::textChanged, this,
        &oruFolderInfoController::controlTextDidChange);
    connect(m_ui->allowCommentCheckBox, &QCheckBox::toggled, this,
        &oruFolderInfoController::changeAllowComment);
    connect(m_ui->okButton, &QPushButton::clicked, this, &oruFolderInfoController::accept);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

oruFolderInfoController::~oruFolderInfoController() = default;

void oruFolderInfoController::controlTextDidChange()
{
    m_ui->okButton->setEnabled(!m_ui->nameField->text().isEmpty());
}

void oruFolderInfoController::changeAllowComment()
{
    const bool comments = m_ui->allowCommentCheckBox->isChecked();
    m_ui->descField->setReadOnly(!comments);
    if (!comments)
        m_ui->descField->setPlainText(m_item.comment());
}

void oruFolderInfoController::accept()
{
    if (m_ui->nameField->text().isEmpty()) {
        m_alert(tr("Invalid Name."), tr("The album name can not be empty."));
        return;
    }
    m_item.setComment(m_ui->descField->toPlainText());
    m_item.setName(m_ui->nameField->text());
    m_item.setPermissions((m_ui->allowCommentCheckBox->isChecked() ? kAllowComments : 0)
        | (m_ui->allowExportCheckBox->isChecked() ? kAllowExport : 0));
    // Albums read from the service carry no option: leaving the pop-up alone keeps it so.
    if (m_ui->thumbnailOptionsPopUp->currentIndex() >= 0)
        m_item.setThumbnailOptions(selectedTag(*m_ui->thumbnailOptionsPopUp));
    m_item.setRating(selectedTag(*m_ui->ratingPopUp));
    m_item.setIsFolder(true);
    ORU_LOG(QStringLiteral("User has created album: %1").arg(m_item.description()));
    QDialog::accept();
}

} // namespace pondrel
