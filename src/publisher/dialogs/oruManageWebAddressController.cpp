// SPDX-License-Identifier: GPL-2.0-or-later
#include "publisher/dialogs/oruManageWebAddressController.h"

#include "publisher/dialogs/oruSharingService.h"
#include "support/oruLog.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace pondrel {

using namespace SharingDialogSupport;

namespace {

const QString kUrlKey = QStringLiteral("Url");

QString linkCell(const QVariantMap &record, const QString &column)
{
    if (column == QLatin1String("created"))
        return dateText(record.value(QStringLiteral("CreationDateUtc")));
    if (column == QLatin1String("last_access"))
        return dateText(record.value(QStringLiteral("LastAccessDateUtc")));
    if (column == QLatin1String("hits"))
        return cellText(record.value(QStringLiteral("HitCounter")));
    if (column == QLatin1String("name"))
        return cellText(record.value(QStringLiteral("Name")));
    if (column == QLatin1String("description"))
        return cellText(record.value(QStringLiteral("Description")));
    if (column == QLatin1String("subfolders"))
        return cellText(record.value(QStringLiteral("IncludeSubFolders")));
    if (column == QLatin1String("web_address"))
        return cellText(record.value(kUrlKey));
    return {};
}

} // namespace

oruManageWebAddressController::oruManageWebAddressController(const oruItem &item,
    const QVariantList &links, oruSharingService &service, QWidget *parent, DialogRunner runSheet)
    : QDialog(parent)
    , m_item(item)
    , m_service(service)
    , m_runSheet(std::move(runSheet))
    , m_exportedLinks(links)
{
    setObjectName(QStringLiteral("ManageWebSharing"));
    ORU_LOG(QStringLiteral("%1").arg(describe(m_exportedLinks)));
    buildDialog();
    buildNewWebAddressPanel();
    reload();
}

oruManageWebAddressController::~oruManageWebAddressController() = default;

void oruManageWebAddressController::buildDialog()
{
    setWindowTitle(tr("Web Addresses of \"%1\"").arg(m_item.name()));
    m_linkTableView = new QTableWidget(this);
    m_linkTableView->setObjectName(QStringLiteral("linkTableView"));
    setUpTable(*m_linkTableView,
        {{QStringLiteral("name"), tr("Name")}, {QStringLiteral("description"), tr("Description")},
            {QStringLiteral("created"), tr("Created")},
            {QStringLiteral("last_access"), tr("Last Access")},
            {QStringLiteral("hits"), tr("Hits")}, {QStringLiteral("subfolders"), tr("Sub-albums")},
            {QStringLiteral("web_address"), tr("Web Address")}});
    connect(m_linkTableView, &QTableWidget::itemSelectionChanged, this,
        &oruManageWebAddressController::updateInfo);

    m_errorLabel = new QLabel(this);
    m_errorLabel->setObjectName(QStringLiteral("errorLabel"));
    m_errorLabel->setWordWrap(true);
    m_errorLabel->hide();

    QPushButton *create = makeButton(this, tr("New…"), "createNewButton");
    QPushButton *remove = makeButton(this, tr("Delete"), "deteteLinkButton");
    QPushButton *browse = makeButton(this, tr("Open"), "browseButton");
    QPushButton *copyUrl = makeButton(this, tr("Copy Address"), "copyURLButton");
    QPushButton *copyRss = makeButton(this, tr("Copy RSS Address"), "copyRSSButton");
    QPushButton *mail = makeButton(this, tr("Send by Mail…"), "sendMailButton");
    QPushButton *ok = makeButton(this, tr("OK"), "okButton");
    ok->setDefault(true);
    m_rowButtons = {remove, browse, copyUrl, copyRss, mail};
    connect(create, &QPushButton::clicked, this, &oruManageWebAddressController::createLink);
    connect(remove, &QPushButton::clicked, this, &oruManageWebAddressController::deleteLink);
    connect(browse, &QPushButton::clicked, this, &oruManageWebAddressController::browse);
    connect(copyUrl, &QPushButton::clicked, this, &oruManageWebAddressController::copyURL);
    connect(copyRss, &QPushButton::clicked, this, &oruManageWebAddressController::copyRSS);
    connect(mail, &QPushButton::clicked, this, &oruManageWebAddressController::sendViaMail);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto *buttons = new QHBoxLayout;
    for (QPushButton *pushButton : {create, remove, browse, copyUrl, copyRss, mail})
        buttons->addWidget(pushButton);
    buttons->addStretch();
    buttons->addWidget(ok);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_linkTableView);
    layout->addWidget(m_errorLabel);
    layout->addLayout(buttons);
    resize(760, 360);
}

void oruManageWebAddressController::buildNewWebAddressPanel()
{
    m_newWebAddressPanel = new QDialog(this);
    m_newWebAddressPanel->setObjectName(QStringLiteral("newWebAddressPanel"));
    m_newWebAddressPanel->setWindowTitle(tr("New Web Address"));
    m_nameField = new QLineEdit(m_newWebAddressPanel);
    m_nameField->setObjectName(QStringLiteral("nameField"));
    m_descriptionField = new QLineEdit(m_newWebAddressPanel);
    m_descriptionField->setObjectName(QStringLiteral("descriptionField"));
    auto *fields = new QFormLayout;
    fields->addRow(tr("Name:"), m_nameField);
    fields->addRow(tr("Description:"), m_descriptionField);

    QPushButton *cancel = makeButton(m_newWebAddressPanel, tr("Cancel"), "cancelPanelButton");
    QPushButton *ok = makeButton(m_newWebAddressPanel, tr("OK"), "okPanelButton");
    ok->setDefault(true);
    connect(cancel, &QPushButton::clicked, m_newWebAddressPanel, &QDialog::reject);
    connect(ok, &QPushButton::clicked, this, [this] {
        acceptPanel();
        m_newWebAddressPanel->accept();
    });
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancel);
    buttons->addWidget(ok);

    auto *layout = new QVBoxLayout(m_newWebAddressPanel);
    layout->addLayout(fields);
    layout->addLayout(buttons);
}

void oruManageWebAddressController::reload()
{
    reloadTable(*m_linkTableView, m_exportedLinks, linkCell);
    updateInfo();
}

void oruManageWebAddressController::updateInfo()
{
    const bool selected = !selectedUrl().isNull();
    for (QPushButton *button : std::as_const(m_rowButtons))
        button->setEnabled(selected);
}

QString oruManageWebAddressController::selectedUrl() const
{
    const int row = selectedRow(*m_linkTableView);
    if (row < 0 || row >= m_exportedLinks.size())
        return {};
    return cellText(m_exportedLinks[row].toMap().value(kUrlKey));
}

void oruManageWebAddressController::createLink()
{
    m_nameField->setText(m_item.name());
    m_descriptionField->setText(m_item.comment());
    m_runSheet(*m_newWebAddressPanel);
    m_newWebAddressPanel->hide();
}

void oruManageWebAddressController::acceptPanel()
{
    QPointer<oruManageWebAddressController> self(this);
    m_service.createSymbolicLink(m_item.uniqueID(), m_nameField->text(), m_descriptionField->text(),
        QStringLiteral(""), QStringLiteral(""), true,
        [self](const std::optional<QString> &link, const QString &error) {
            if (!self)
                return;
            ORU_LOG(QStringLiteral("newWebLink: %1").arg(link.value_or(QString())));
            if (!link) {
                self->showError(error);
                emit self->linksChanged();
                return;
            }
            self->appendLinkInfo(*link);
        });
}

void oruManageWebAddressController::appendLinkInfo(const QString &link)
{
    QPointer<oruManageWebAddressController> self(this);
    m_service.getSymbolicLinksInfo(link, [self, link](const std::optional<QVariantMap> &reply) {
        if (!self)
            return;
        if (reply) {
            const QVariant record = reply->value(QStringLiteral("GetSymbolicLinkInfoResult"));
            ORU_LOG(QStringLiteral("link:%1").arg(describe(record)));
            self->m_exportedLinks.append(record);
            self->showError(QString());
            self->reload();
        } else {
            // The address exists on the service; it shows with the album's next listing.
            self->showError(
                tr("The web address %1 was made, but its details could not be read.").arg(link));
        }
        emit self->linksChanged();
    });
}

void oruManageWebAddressController::deleteLink()
{
    const QString url = selectedUrl();
    if (url.isNull())
        return;
    QPointer<oruManageWebAddressController> self(this);
    m_service.destroySymbolicLink(url, [self, url](const oruSharingService::Outcome &outcome) {
        if (!self)
            return;
        if (outcome.ok) {
            // By address, not by row: the list may have changed meanwhile.
            QVariantList remaining;
            for (const QVariant &link : std::as_const(self->m_exportedLinks)) {
                if (cellText(link.toMap().value(kUrlKey)) != url)
                    remaining.append(link);
            }
            self->m_exportedLinks = remaining;
            self->showError(QString());
            self->reload();
        } else {
            self->showError(outcome.error);
        }
        emit self->linksChanged();
    });
}

void oruManageWebAddressController::browse()
{
    const QString url = selectedUrl();
    if (url.isNull())
        return;
    ORU_LOG(QStringLiteral("link: %1, %2").arg(m_item.description(), url));
    QDesktopServices::openUrl(QUrl(url));
}

void oruManageWebAddressController::copyURL()
{
    const QString url = selectedUrl();
    if (!url.isNull())
        QGuiApplication::clipboard()->setText(url);
}

void oruManageWebAddressController::copyRSS()
{
    const QString url = selectedUrl();
    if (url.isNull())
        return;
    const QString feed = rssAddress(url);
    ORU_LOG(QStringLiteral("rssLink: %1").arg(feed));
    QGuiApplication::clipboard()->setText(feed);
}

void oruManageWebAddressController::sendViaMail()
{
    const QString url = selectedUrl();
    if (!url.isNull())
        sendEmailWithMessage(webGalleryMessage(url));
}

void oruManageWebAddressController::sendEmailWithMessage(const QString &message)
{
    QPointer<oruManageWebAddressController> self(this);
    m_service.senderFirstName([self, message](const QString &firstName) {
        if (!self)
            return;
        if (!QDesktopServices::openUrl(mailtoUrl(firstName, message)))
            self->showError(tr("No mail program could be opened."));
    });
}

void oruManageWebAddressController::showError(const QString &error)
{
    m_errorLabel->setText(error);
    m_errorLabel->setVisible(!error.isEmpty());
}

} // namespace pondrel
