// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "model/oruItem.h"
#include "publisher/dialogs/SharingDialogSupport.h"

#include <QDialog>
#include <QVariantList>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace pondrel {

class oruSharingService;

// The web-address dialog ("ManageWebSharing") of one album: its public web addresses, creating
// one (the "newWebAddressPanel" sheet, prefilled with the album's name and description),
// deleting one, and handing the selected one to the browser, the clipboard or the mail
// program. Creations and deletions reach the service at once; OK only tells the caller to copy
// exportedLinks() into the album's record.
class oruManageWebAddressController : public QDialog
{
    Q_OBJECT

public:
    // links: the web addresses the album's record holds.
    oruManageWebAddressController(const oruItem &item, const QVariantList &links,
        oruSharingService &service, QWidget *parent = nullptr,
        SharingDialogSupport::DialogRunner runSheet = SharingDialogSupport::windowModalRunner());
    ~oruManageWebAddressController() override;

    const oruItem &item() const { return m_item; }
    const QVariantList &exportedLinks() const { return m_exportedLinks; }
    QDialog &newWebAddressPanel() const { return *m_newWebAddressPanel; }

public slots:
    void updateInfo();
    void createLink();
    void deleteLink();
    void browse();
    void copyURL();
    void copyRSS();
    void sendViaMail();
    void sendEmailWithMessage(const QString &message);

signals:
    // After every reply of the service, once the dialog shows it.
    void linksChanged();

private:
    void buildDialog();
    void buildNewWebAddressPanel();
    void acceptPanel();
    void appendLinkInfo(const QString &link);
    void reload();
    QString selectedUrl() const;
    void showError(const QString &error);

    oruItem m_item;
    oruSharingService &m_service;
    SharingDialogSupport::DialogRunner m_runSheet;
    QVariantList m_exportedLinks;

    QTableWidget *m_linkTableView = nullptr;
    QLabel *m_errorLabel = nullptr;
    QList<QPushButton *> m_rowButtons;

    QDialog *m_newWebAddressPanel = nullptr;
    QLineEdit *m_nameField = nullptr;
    QLineEdit *m_descriptionField = nullptr;
};

} // namespace pondrel
