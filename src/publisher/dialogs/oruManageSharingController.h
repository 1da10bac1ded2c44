// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "model/oruItem.h"
#include "publisher/dialogs/SharingDialogSupport.h"

#include <QDialog>
#include <QVariantList>
#include <QVariantMap>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

namespace pondrel {

class oruSharingService;

// The e-mail sharing dialog ("ManageSharing") of one album: the people it is shared with, the
// details of the one selected, inviting up to three more at once (the "newSharingPanel" sheet)
// and revoking one. Invitations and revocations reach the service at once; OK only tells the
// caller to copy exportedLinks() into the album's record, Cancel to leave the record alone.
class oruManageSharingController : public QDialog
{
    Q_OBJECT

public:
    oruManageSharingController(const oruItem &item, oruSharingService &service,
        QWidget *parent = nullptr,
        SharingDialogSupport::DialogRunner runSheet = SharingDialogSupport::windowModalRunner());
    ~oruManageSharingController() override;

    const oruItem &item() const { return m_item; }
    const QVariantList &exportedLinks() const { return m_exportedLinks; }
    // The invitation sheet, for whoever fills it in.
    QDialog &newSharingPanel() const { return *m_newSharingPanel; }

public slots:
    void refreshSharingInfo();
    void updateInfo();
    void showNewSharingPanel();
    void controlTextDidChange();
    void revoke();

signals:
    // After every reply of the service, once the dialog shows it.
    void sharingInfoChanged();

private:
    struct InvitationRow
    {
        QLineEdit *name = nullptr;
        QLineEdit *address = nullptr;
    };

    void buildDialog();
    void buildNewSharingPanel();
    void setSharingList(const QVariantList &links);
    void sendInvitations();
    QVariantList recipients() const;
    void showError(const QString &error);

    oruItem m_item;
    oruSharingService &m_service;
    SharingDialogSupport::DialogRunner m_runSheet;
    QVariantList m_exportedLinks;
    QVariantMap m_sharingInfo;

    QTableWidget *m_sharingListView = nullptr;
    QLineEdit *m_cultureTextField = nullptr;
    QLineEdit *m_emailTextField = nullptr;
    QLineEdit *m_forwardingTextField = nullptr;
    QLineEdit *m_shortNoteTextField = nullptr;
    QLineEdit *m_singleClickTextField = nullptr;
    QLineEdit *m_subFoldersTextField = nullptr;
    QLabel *m_errorLabel = nullptr;
    QPushButton *m_revokeBtn = nullptr;

    QDialog *m_newSharingPanel = nullptr;
    QList<InvitationRow> m_invitationRows;
    QPlainTextEdit *m_shortNoteText = nullptr;
    QCheckBox *m_shareSubAlbumsButton = nullptr;
    QCheckBox *m_allowForwardButton = nullptr;
    QCheckBox *m_addDirectUrlCheckBox = nullptr;
    QCheckBox *m_copyToSelfButton = nullptr;
    QPushButton *m_acceptPanelButton = nullptr;
};

} // namespace pondrel
