// SPDX-License-Identifier: GPL-2.0-or-later
// Sharing an album by e-mail and by web address, through the real dialogs, against the
// reference service.
#include "tests/publisher/PublisherTestSupport.h"

#include "model/oruNetwork_upload.h"
#include "publisher/dialogs/SharingDialogSupport.h"
#include "publisher/dialogs/oruManageSharingController.h"
#include "publisher/dialogs/oruManageWebAddressController.h"
#include "support/Values.h"
#include "tests/common/ProgramRun.h"

#include <QAction>
#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QUrlQuery>

using namespace pondrel;

namespace {

const QString kAnn = QStringLiteral("ann@example.com");
const QString kFirstName = QStringLiteral("Ann & <Lee> \U0001F600");
const QString kAlbumName = QStringLiteral("Trip & <Co> \U0001F30A");

bool waitFor(const std::function<bool()> &condition)
{
    return QTest::qWaitFor(condition, 10000);
}

template <typename Widget> Widget *outlet(QWidget &dialog, const char *name)
{
    Widget *widget = dialog.findChild<Widget *>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

void click(QWidget &dialog, const char *button)
{
    QPushButton *pushButton = outlet<QPushButton>(dialog, button);
    ASSERT_TRUE(pushButton && pushButton->isEnabled()) << button;
    QTest::mouseClick(pushButton, Qt::LeftButton);
}

QStringList column(const QTableWidget &table, int column)
{
    QStringList texts;
    for (int row = 0; row < table.rowCount(); ++row)
        texts.append(table.item(row, column)->text());
    return texts;
}

} // namespace

// Where the dialogs hand addresses to the desktop: the browser and the mail program.
class DesktopUrls : public QObject
{
    Q_OBJECT

public:
    DesktopUrls()
    {
        for (const char *scheme : {"mailto", "http"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "open");
    }
    ~DesktopUrls() override
    {
        for (const char *scheme : {"mailto", "http"})
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    }

    QList<QUrl> opened;

public slots:
    void open(const QUrl &url) { opened.append(url); }
};

class PublisherSharingTest : public PublisherTest
{
protected:
    void SetUp() override
    {
        PublisherTest::SetUp();
        if (HasFatalFailure())
            return;
        oruNetwork owner;
        ASSERT_TRUE(owner.createNewAccount(kFirstName, QStringLiteral("Lee"), kPassword, kAnn))
            << owner.errorMsg().toStdString();
        oruNetwork client;
        ASSERT_TRUE(client.signOn(kAnn, kPassword));
        oruItem album = oruItem::initWithEmptyAlbum();
        album.setName(kAlbumName);
        const std::optional<QString> id = oruNetworkUpload::uploadFolderItem(client, album, {});
        ASSERT_TRUE(id);
        m_albumId = *id;
        ASSERT_TRUE(client.sendSharing({m_albumId},
            {oruNetwork::recipientRecord("Bo", "bo@example.org", "", true, true)}, true, "Default"))
            << client.errorMsg().toStdString();
        const std::optional<QString> link
            = client.createSymbolicLink({m_albumId}, "Trip", "", "", "", true);
        ASSERT_TRUE(link) << client.errorMsg().toStdString();
        m_webAddress = *link;
    }

    oruController &publisherWithAlbumSelected()
    {
        oruController &controller = makeController();
        signOn(controller, kAnn);
        selectAlbum(controller);
        return controller;
    }

    void selectAlbum(oruController &controller)
    {
        for (quint32 tag = oruController::LocalTag; tag <= oruController::ImportedTag; ++tag) {
            const int index = static_cast<int>(namesInSection(controller, tag).indexOf(kAlbumName));
            if (index >= 0)
                controller.didSetSelectionIndexes(controller.photoViewForTag(tag), IndexSet(index));
        }
    }

    oruItem albumItem(oruController &controller) const
    {
        for (quint32 tag = oruController::LocalTag; tag <= oruController::ImportedTag; ++tag) {
            for (const oruItem &item : controller.pictureViewArrayForTag(tag)) {
                if (item.uniqueID() == m_albumId)
                    return item;
            }
        }
        return {};
    }

    void injectFault(const QString &fault)
    {
        const ProgramRun curl = ProgramRun::run("curl",
            {"-sf", "-H", QString::fromUtf8(m_service.adminHeader()), "--data-binary", fault,
                m_service.baseUrl() + "/Pondrel/Admin/Faults"});
        ASSERT_EQ(curl.exitCode, 0)
            << "curl is needed for this test: " << curl.standardError.toStdString();
    }

    QString m_albumId;
    QString m_webAddress;
};

TEST_F(PublisherSharingTest, OneInvitationShowsOneRowAndEveryRowWithAnAddressIsSent)
{
    oruController &publisher = makeController();
    signOn(publisher, kAnn);
    QAction *sharing = publisher.window().findChild<QAction *>("actionManageSharing");
    ASSERT_NE(sharing, nullptr);
    EXPECT_FALSE(sharing->isEnabled()) << "nothing is selected";
    selectAlbum(publisher);
    ASSERT_TRUE(sharing->isEnabled());

    publisher.alerts().queueDialogAnswer([](QDialog &dialog) {
        QTableWidget *list = outlet<QTableWidget>(dialog, "sharingListView");
        ASSERT_TRUE(waitFor([list] { return list->rowCount() == 1; }));
        EXPECT_EQ(column(*list, 0), QStringList {"bo@example.org"});
        EXPECT_TRUE(
            QRegularExpression("^\\d{4}/\\d{2}/\\d{2}$").match(list->item(0, 1)->text()).hasMatch())
            << list->item(0, 1)->text().toStdString();
        EXPECT_FALSE(outlet<QPushButton>(dialog, "revokeBtn")->isEnabled());
        list->selectRow(0);
        EXPECT_EQ(outlet<QLineEdit>(dialog, "singleClickTextField")->text(), "yes");
        EXPECT_EQ(outlet<QLineEdit>(dialog, "cultureTextField")->text(), "en-US");
        click(dialog, "newSharingButton");
        ASSERT_TRUE(waitFor([list] { return list->rowCount() == 3; }));
        QStringList recipients = column(*list, 0);
        recipients.sort();
        EXPECT_EQ(
            recipients, (QStringList {"anna@bücher.example", "bo@example.org", "cy@example.org"}));
        click(dialog, "okButton");
    });
    publisher.alerts().queueDialogAnswer([](QDialog &sheet) {
        QPushButton *ok = outlet<QPushButton>(sheet, "acceptPanelButton");
        EXPECT_FALSE(ok->isEnabled());
        // Row 1 fails the client's check but is sent: the service judges the address.
        outlet<QLineEdit>(sheet, "emailAddressText1")->setText("anna@bücher.example");
        QTest::keyClicks(outlet<QLineEdit>(sheet, "emailAddressText2"), "cy@example.org");
        EXPECT_FALSE(ok->isEnabled()) << "row 2 has no name yet";
        QTest::keyClicks(outlet<QLineEdit>(sheet, "recipientNameText2"), "Cy");
        EXPECT_TRUE(ok->isEnabled());
        QTest::mouseClick(ok, Qt::LeftButton);
    });
    sharing->trigger();

    EXPECT_EQ(
        publisher.alerts().dialogHistory(), (QStringList {"ManageSharing", "newSharingPanel"}));
    EXPECT_FALSE(publisher.alerts().alertTitles().contains("Sharing of this album failed."))
        << "the service took both rows";
    const QVariantMap record = publisher.assetFromUniqueID(m_albumId).value_or(QVariantMap());
    EXPECT_EQ(Values::asList(
                  record.value("FolderAssetExportLinks").toMap().value("FolderAssetExportLink"))
                  .size(),
        3);
    EXPECT_TRUE(albumItem(publisher).isShared());
}

TEST_F(PublisherSharingTest, FailedRevokeShowsTheErrorAndCancelKeepsTheRecord)
{
    oruController &controller = publisherWithAlbumSelected();
    injectFault("1*RevokeExportLink:soapfault:Revocation refused for now");
    controller.alerts().queueDialogAnswer([](QDialog &dialog) {
        auto &sharing = static_cast<oruManageSharingController &>(dialog);
        QTableWidget *list = outlet<QTableWidget>(dialog, "sharingListView");
        QLabel *error = outlet<QLabel>(dialog, "errorLabel");
        ASSERT_TRUE(waitFor([list] { return list->rowCount() == 1; }));
        QSignalSpy answered(&sharing, &oruManageSharingController::sharingInfoChanged);
        list->selectRow(0);
        click(dialog, "revokeBtn");
        ASSERT_TRUE(answered.wait(10000));
        EXPECT_TRUE(error->isVisibleTo(&dialog));
        EXPECT_TRUE(error->text().contains("Revocation refused for now"))
            << error->text().toStdString();
        EXPECT_EQ(list->rowCount(), 1);
        EXPECT_EQ(sharing.exportedLinks().size(), 1);

        list->selectRow(0);
        click(dialog, "revokeBtn");
        ASSERT_TRUE(waitFor([list] { return list->rowCount() == 0; }));
        EXPECT_FALSE(error->isVisibleTo(&dialog));
        click(dialog, "cancelButton");
    });
    controller.manageSharing();

    // Cancelled: the invitation is gone on the service, the record and badge stay as listed.
    EXPECT_TRUE(controller.assetFromUniqueID(m_albumId)->contains("FolderAssetExportLinks"));
    EXPECT_TRUE(albumItem(controller).isShared());
}

TEST_F(PublisherSharingTest, WebAddressIsCopiedMailedOpenedAndDeletingTheLastClearsTheBadge)
{
    ASSERT_TRUE(m_webAddress.contains("?a=")) << m_webAddress.toStdString();
    oruController &controller = publisherWithAlbumSelected();
    ASSERT_TRUE(albumItem(controller).hasWebAddresses());
    DesktopUrls desktop;
    injectFault("1*CreateSymbolicLink:soapfault:No more addresses today\n"
                "1*DestroySymbolicLink:soapfault:Deleting is paused");
    const QString address = m_webAddress;
    controller.alerts().queueDialogAnswer([&desktop, address](QDialog &dialog) {
        auto &web = static_cast<oruManageWebAddressController &>(dialog);
        QTableWidget *list = outlet<QTableWidget>(dialog, "linkTableView");
        ASSERT_EQ(list->rowCount(), 1);
        EXPECT_FALSE(outlet<QPushButton>(dialog, "copyRSSButton")->isEnabled());
        list->selectRow(0);
        click(dialog, "copyRSSButton");
        QString feed = address;
        feed.replace("?a=", "?r=");
        EXPECT_EQ(QGuiApplication::clipboard()->text(), feed);
        click(dialog, "copyURLButton");
        EXPECT_EQ(QGuiApplication::clipboard()->text(), address);
        click(dialog, "browseButton");
        click(dialog, "sendMailButton");
        ASSERT_TRUE(waitFor([&desktop] { return desktop.opened.size() == 2; }));
        EXPECT_EQ(desktop.opened[0], QUrl(address));
        const QUrl mail = desktop.opened[1];
        EXPECT_EQ(mail.scheme(), "mailto");
        EXPECT_TRUE(mail.path().isEmpty());
        const QUrlQuery query(mail);
        EXPECT_EQ(
            query.queryItemValue("subject", QUrl::FullyDecoded), "A Web Gallery by " + kFirstName);
        const QString body = query.queryItemValue("BODY", QUrl::FullyDecoded);
        EXPECT_TRUE(body.startsWith("Hello,\n\nvisit the web gallery at:\n" + address + "\n"))
            << body.toStdString();
        EXPECT_TRUE(body.endsWith("or subscribe via RSS:\n" + feed + "\n")) << body.toStdString();

        // The first creation fails and adds nothing; the second adds the new address.
        QSignalSpy answered(&web, &oruManageWebAddressController::linksChanged);
        click(dialog, "createNewButton");
        ASSERT_TRUE(answered.wait(10000));
        EXPECT_TRUE(outlet<QLabel>(dialog, "errorLabel")->text().contains("No more addresses"));
        EXPECT_EQ(list->rowCount(), 1);
        click(dialog, "createNewButton");
        ASSERT_TRUE(waitFor([list] { return list->rowCount() == 2; }));
        EXPECT_EQ(list->item(1, 0)->text(), kAlbumName);

        // The first deletion fails and keeps the list; then both go.
        list->selectRow(0);
        click(dialog, "deteteLinkButton");
        ASSERT_TRUE(answered.wait(10000));
        EXPECT_TRUE(outlet<QLabel>(dialog, "errorLabel")->text().contains("Deleting is paused"));
        EXPECT_EQ(list->rowCount(), 2);
        for (int left = 1; left >= 0; --left) {
            list->selectRow(0);
            click(dialog, "deteteLinkButton");
            ASSERT_TRUE(waitFor([list, left] { return list->rowCount() == left; }));
        }
        EXPECT_FALSE(outlet<QPushButton>(dialog, "sendMailButton")->isEnabled());
        click(dialog, "okButton");
    });
    for (int sheet = 0; sheet < 2; ++sheet) {
        controller.alerts().queueDialogAnswer([](QDialog &panel) {
            EXPECT_EQ(outlet<QLineEdit>(panel, "nameField")->text(), kAlbumName);
            click(panel, "okPanelButton");
        });
    }
    controller.manageWebSharing();

    EXPECT_TRUE(controller.alerts().alertTitles().contains("Sharing of album failed."));
    EXPECT_TRUE(controller.alerts().alertTitles().contains("Destroying album share failed."));
    EXPECT_FALSE(controller.assetFromUniqueID(m_albumId)->contains("FolderAssetSymbolicLinks"));
    EXPECT_FALSE(albumItem(controller).hasWebAddresses());
}

TEST(SharingDialogSupport, FeedAddressMailAndDates)
{
    using namespace SharingDialogSupport;
    EXPECT_EQ(rssAddress("http://h/Gallery.aspx?a=123"), "http://h/Gallery.aspx?r=123");
    EXPECT_EQ(rssAddress("http://h/g/123"), "http://h/g/123") << "no \"a=\": its own feed";

    const QString text = "Tom & Jerry <3 \U0001F600 100% ?x=1#y";
    const QUrl mail = mailtoUrl(text, text + "\nline two");
    ASSERT_TRUE(mail.isValid());
    const QUrlQuery query(mail);
    EXPECT_EQ(query.queryItems().size(), 2) << "\"&\" in a text must not split the query";
    EXPECT_EQ(query.queryItemValue("subject", QUrl::FullyDecoded), "A Web Gallery by " + text);
    EXPECT_EQ(query.queryItemValue("BODY", QUrl::FullyDecoded), text + "\nline two");

    EXPECT_EQ(dateText("2026-12-07T23:30:00-05:00"), "2026/12/07") << "in the date's own zone";
    EXPECT_EQ(dateText("not a date"), "");
    EXPECT_EQ(dateText("0001-01-01T00:00:00+00:00"), "") << "the service's \"never\"";
    EXPECT_EQ(dateText(Values::nullMarker()), "");
}

#include "PublisherSharingTest.moc"
