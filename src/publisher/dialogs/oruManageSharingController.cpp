// SPDX-License-Identifier: GPL-2.0-or-later
#include "publisher/dialogs/oruManageSharingController.h"

#include "publisher/dialogs/oruSharingService.h"
#include "support/StringExtras.h"
#include "support/Values.h"
#include "support/oruLog.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace pondrel {

using namespace SharingDialogSupport;

namespace {

constexpr int kInvitationRows = 3;

QString trueOrFalse(bool flag)
{
    return flag ? QStringLiteral("true") : QStringLiteral("false");
}

QString sharingCell(const QVariantMap &record, const QString &column)
{
    if (column == QLatin1String("date"))
        return dateText(record.value(QStringLiteral("CreationDateUtc")));
    if (column == QLatin1String("last_access"))
        return dateText(record.value(QStringLiteral("LastAccessDateUtc")));
    if (column == QLatin1String("hits"))
        return cellText(record.value(QStringLiteral("HitCounter")));
    if (column == QLatin1String("recipient"))
        return cellText(record.value(QStringLiteral("EmailAddress")));
    return {};
}

QLineEdit *detailField(QWidget *parent, const char *name)
{
    auto *field = new QLineEdit(parent);
    field->setObjectName(QString::fromLatin1(name));
    field->setReadOnly(true);
    return field;
}

QCheckBox *checkBox(QWidget *parent, const QString &text, const char *name)
{
    auto *box = new QCheckBox(text, parent);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

} // namespace

oruManageSharingController::oruManageSharingController(
    const oruItem &item, oruSharingService &service, QWidget *parent, DialogRunner runSheet)
    : QDialog(parent)
    , m_item(item)
    , m_service(service)
    , m_runSheet(std::move(runSheet))
{
    setObjectName(QStringLiteral("ManageSharing"));
    buildDialog();
    buildNewSharingPanel();
    updateInfo();
    m_shareSubAlbumsButton->setChecked(true);
    m_allowForwardButton->setChecked(true);
    m_addDirectUrlCheckBox->setChecked(true);
    refreshSharingInfo();
}

oruManageSharingController::~oruManageSharingController() = default;

void oruManageSharingController::buildDialog()
{
    setWindowTitle(tr("Sharing of \"%1\"").arg(m_item.name()));
    m_sharingListView = new QTableWidget(this);
    m_sharingListView->setObjectName(QStringLiteral("sharingListView"));
    setUpTable(*m_sharingListView,
        {{QStringLiteral("recipient"), tr("Recipient")}, {QStringLiteral("date"), tr("Shared")},
            {QStringLiteral("last_access"), tr("Last Access")},
            {QStringLiteral("hits"), tr("Hits")}});
    connect(m_sharingListView, &QTableWidget::itemSelectionChanged, this,
        &oruManageSharingController::updateInfo);

    m_cultureTextField = detailField(this, "cultureTextField");
    m_emailTextField = detailField(this, "emailTextField");
    m_forwardingTextField = detailField(this, "forwardingTextField");
    m_shortNoteTextField = detailField(this, "shortNoteTextField");
    m_singleClickTextField = detailField(this, "singleClickTextField");
    m_subFoldersTextField = detailField(this, "subFoldersTextField");
    auto *details = new QFormLayout;
    details->addRow(tr("E-mail:"), m_emailTextField);
    details->addRow(tr("Language:"), m_cultureTextField);
    details->addRow(tr("Forwarding allowed:"), m_forwardingTextField);
    details->addRow(tr("Sub-albums:"), m_subFoldersTextField);
    details->addRow(tr("Direct address:"), m_singleClickTextField);
    details->addRow(tr("Note:"), m_shortNoteTextField);

    m_errorLabel = new QLabel(this);
    m_errorLabel->setObjectName(QStringLiteral("errorLabel"));
    m_errorLabel->setWordWrap(true);
    m_errorLabel->hide();

    QPushButton *invite = makeButton(this, tr("Invite…"), "newSharingButton");
    m_revokeBtn = makeButton(this, tr("Revoke"), "revokeBtn");
    QPushButton *cancel = makeButton(this, tr("Cancel"), "cancelButton");
    QPushButton *ok = makeButton(this, tr("OK"), "okButton");
    ok->setDefault(true);
    connect(invite, &QPushButton::clicked, this, &oruManageSharingController::showNewSharingPanel);
    connect(m_revokeBtn, &QPushButton::clicked, this, &oruManageSharingController::revoke);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(invite);
    buttons->addWidget(m_revokeBtn);
    buttons->addStretch();
    buttons->addWidget(cancel);
    buttons->addWidget(ok);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_sharingListView);
    layout->addLayout(details);
    layout->addWidget(m_errorLabel);
    layout->addLayout(buttons);
    resize(560, 460);
}

void oruManageSharingController::buildNewSharingPanel()
{
    m_newSharingPanel = new QDialog(this);
    m_newSharingPanel->setObjectName(QStringLiteral("newSharingPanel"));
    m_newSharingPanel->setWindowTitle(tr("Invite"));
    auto *rows = new QGridLayout;
    rows->addWidget(new QLabel(tr("Name"), m_newSharingPanel), 0, 0);
    rows->addWidget(new QLabel(tr("E-mail address"), m_newSharingPanel), 0, 1);
    for (int row = 1; row <= kInvitationRows; ++row) {
        InvitationRow fields {new QLineEdit(m_newSharingPanel), new QLineEdit(m_newSharingPanel)};
        fields.name->setObjectName(QStringLiteral("recipientNameText%1").arg(row));
        fields.address->setObjectName(QStringLiteral("emailAddressText%1").arg(row));
        for (QLineEdit *field : {fields.name, fields.address})
            connect(field, &QLineEdit::textChanged, this,
                &oruManageSharingController::controlTextDidChange);
        rows->addWidget(fields.name, row, 0);
        rows->addWidget(fields.address, row, 1);
        m_invitationRows.append(fields);
    }
    m_shortNoteText = new QPlainTextEdit(m_newSharingPanel);
    m_shortNoteText->setObjectName(QStringLiteral("shortNoteText"));
    m_shortNoteText->setMaximumHeight(m_shortNoteText->fontMetrics().lineSpacing() * 5);
    m_shareSubAlbumsButton
        = checkBox(m_newSharingPanel, tr("Share sub-albums"), "shareSubAlbumsButton");
    m_allowForwardButton
        = checkBox(m_newSharingPanel, tr("Allow forwarding"), "allowForwardButton");
    m_addDirectUrlCheckBox = checkBox(
        m_newSharingPanel, tr("Add a direct address to the album"), "addDirectUrlCheckBox");
    m_copyToSelfButton = checkBox(m_newSharingPanel, tr("Send me a copy"), "copyToSelfButton");

    QPushButton *cancel = makeButton(m_newSharingPanel, tr("Cancel"), "cancelPanelButton");
    m_acceptPanelButton = makeButton(m_newSharingPanel, tr("OK"), "acceptPanelButton");
    m_acceptPanelButton->setDefault(true);
    connect(cancel, &QPushButton::clicked, m_newSharingPanel, &QDialog::reject);
    connect(m_acceptPanelButton, &QPushButton::clicked, this, [this] {
        ORU_LOG(QStringLiteral("OK"));
        sendInvitations();
        m_newSharingPanel->accept();
    });
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancel);
    buttons->addWidget(m_acceptPanelButton);

    auto *layout = new QVBoxLayout(m_newSharingPanel);
    layout->addLayout(rows);
    layout->addWidget(new QLabel(tr("Note:"), m_newSharingPanel));
    layout->addWidget(m_shortNoteText);
    for (QCheckBox *box :
        {m_shareSubAlbumsButton, m_allowForwardButton, m_addDirectUrlCheckBox, m_copyToSelfButton})
        layout->addWidget(box);
    layout->addLayout(buttons);
}

void oruManageSharingController::refreshSharingInfo()
{
    QPointer<oruManageSharingController> self(this);
    m_service.getExportLinksInfo(
        m_item.uniqueID(), [self](const std::optional<QVariantMap> &reply) {
            if (!self)
                return;
            ORU_LOG(QStringLiteral("%1").arg(self->m_item.description()));
            ORU_LOG(QStringLiteral("result: %1").arg(reply ? describe(*reply) : QString()));
            // A failed listing shows an empty list, as the service has nothing to say.
            const QVariantMap result = reply
                ? reply->value(QStringLiteral("GetExportLinksInfoResult")).toMap()
                : QVariantMap();
            self->setSharingList(Values::asList(result.value(QStringLiteral("ExportLinkInfo"))));
        });
}

void oruManageSharingController::setSharingList(const QVariantList &links)
{
    m_exportedLinks = links;
    reloadTable(*m_sharingListView, m_exportedLinks, sharingCell);
    updateInfo();
    emit sharingInfoChanged();
}

void oruManageSharingController::updateInfo()
{
    const int row = selectedRow(*m_sharingListView);
    const QVariantMap record = row < 0 ? QVariantMap() : m_exportedLinks.value(row).toMap();
    const bool selected = !record.isEmpty();
    m_cultureTextField->setText(cellText(record.value(QStringLiteral("Culture"))));
    m_emailTextField->setText(cellText(record.value(QStringLiteral("EmailAddress"))));
    m_forwardingTextField->setText(cellText(record.value(QStringLiteral("AllowForwarding"))));
    m_shortNoteTextField->setText(cellText(record.value(QStringLiteral("ShortNote"))));
    m_singleClickTextField->setText(!selected                     ? QString()
            : record.contains(QStringLiteral("DirectAccessLink")) ? QStringLiteral("yes")
                                                                  : QStringLiteral("no"));
    m_subFoldersTextField->setText(cellText(record.value(QStringLiteral("IncludeSubFolders"))));
    m_revokeBtn->setEnabled(selected);
}

void oruManageSharingController::showNewSharingPanel()
{
    m_sharingInfo.clear();
    m_acceptPanelButton->setEnabled(false);
    for (const InvitationRow &row : m_invitationRows) {
        row.name->clear();
        row.address->clear();
    }
    m_shortNoteText->clear();
    m_shareSubAlbumsButton->setChecked(true);
    m_allowForwardButton->setChecked(true);
    m_addDirectUrlCheckBox->setChecked(true);
    m_runSheet(*m_newSharingPanel);
    m_newSharingPanel->hide();
}

void oruManageSharingController::controlTextDidChange()
{
    const bool oneComplete
        = std::any_of(m_invitationRows.cbegin(), m_invitationRows.cend(), [](const auto &row) {
              return StringExtras::isValidEmailAddress(row.address->text())
                  && !row.name->text().isEmpty();
          });
    m_acceptPanelButton->setEnabled(oneComplete);
}

QVariantList oruManageSharingController::recipients() const
{
    // Every row with an address goes, valid or not: the service judges the addresses.
    QVariantList recipients;
    for (const InvitationRow &row : m_invitationRows) {
        const QString address = row.address->text().trimmed();
        if (address.isEmpty())
            continue;
        const QVariantMap target {{QStringLiteral("FirstName"), row.name->text()},
            {QStringLiteral("EmailAddress"), address},
            {QStringLiteral("Culture"), QStringLiteral("en-US")},
            {QStringLiteral("ShortNote"), m_shortNoteText->toPlainText()},
            {QStringLiteral("IncludeSubFolders"), trueOrFalse(m_shareSubAlbumsButton->isChecked())},
            {QStringLiteral("AllowForwarding"), trueOrFalse(m_allowForwardButton->isChecked())}};
        recipients.append(QVariantMap {{QStringLiteral("ExportTarget"), target}});
    }
    return recipients;
}

void oruManageSharingController::sendInvitations()
{
    m_sharingInfo = {{QStringLiteral("recipients"), recipients()},
        {QStringLiteral("createDirectAccessLinks"), m_addDirectUrlCheckBox->isChecked() ? 1 : 0},
        {QStringLiteral("emailNotificationText"), QString()},
        {QStringLiteral("emailNotificationType"),
            m_copyToSelfButton->isChecked() ? QStringLiteral("DefaultWithSenderCC")
                                            : QStringLiteral("Default")}};
    ORU_LOG(QStringLiteral("sharingInfo:%1").arg(describe(m_sharingInfo)));
    QPointer<oruManageSharingController> self(this);
    m_service.sendSharing(m_item.uniqueID(),
        m_sharingInfo.value(QStringLiteral("recipients")).toList(),
        m_sharingInfo.value(QStringLiteral("createDirectAccessLinks")).toInt() == 1,
        m_sharingInfo.value(QStringLiteral("emailNotificationType")).toString(),
        [self](const oruSharingService::Outcome &outcome) {
            if (!self)
                return;
            self->showError(outcome.ok ? QString() : outcome.error);
            self->refreshSharingInfo();
        });
}

void oruManageSharingController::revoke()
{
    const int row = selectedRow(*m_sharingListView);
    if (row < 0 || row >= m_exportedLinks.size())
        return;
    const QString email
        = cellText(m_exportedLinks[row].toMap().value(QStringLiteral("EmailAddress")));
    QPointer<oruManageSharingController> self(this);
    m_service.revokeExportLink(
        m_item.uniqueID(), email, [self, email](const oruSharingService::Outcome &outcome) {
            if (!self)
                return;
            if (!outcome.ok) {
                self->showError(outcome.error);
                emit self->sharingInfoChanged();
                return;
            }
            // By address, not by row: the list may have been reloaded meanwhile.
            QVariantList remaining;
            for (const QVariant &link : std::as_const(self->m_exportedLinks)) {
                if (cellText(link.toMap().value(QStringLiteral("EmailAddress"))) != email)
                    remaining.append(link);
            }
            self->showError(QString());
            self->setSharingList(remaining);
        });
}

void oruManageSharingController::showError(const QString &error)
{
    m_errorLabel->setText(error);
    m_errorLabel->setVisible(!error.isEmpty());
}

} // namespace pondrel
