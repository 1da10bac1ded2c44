// SPDX-License-Identifier: GPL-2.0-or-later
#include "publisher/app/oruController.h"

#include "publisher/app/NTLoginItemMgr.h"
#include "publisher/app/oruMainWindow.h"
#include "publisher/app/oruSavedPassword.h"
#include "publisher/app/oruServiceThread.h"
#include "publisher/app/oruUpdateChecker.h"
#include "publisher/dialogs/oruAboutBoxController.h"
#include "publisher/dialogs/oruAlertPresenter.h"
#include "publisher/dialogs/oruPrefsController.h"
#include "publisher/views/Artwork.h"
#include "publisher/views/ScrollViewExtras.h"
#include "support/Paths.h"
#include "support/Preferences.h"
#include "support/PropertyList.h"
#include "support/oruLog.h"
#include "ui_MainWindow.h"

#include <QDateTime>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QScrollBar>
#include <QSysInfo>
#include <QTimer>

#include <cstdio>

namespace pondrel {

namespace {

oruController *theController = nullptr;

const QString kAutoStartKey = QStringLiteral("AutoStart");
const QString kDebugKey = QStringLiteral("Debug");

// The user settings every start makes sure of, in this order, with their defaults.
const QList<QPair<QString, QVariant>> &defaultSettings()
{
    static const QList<QPair<QString, QVariant>> settings {
        {QStringLiteral("ComputerID"), QStringLiteral("")},
        {QStringLiteral("UserID"), QStringLiteral("")},
        {QStringLiteral("PrevUsers"), QVariantMap()},
        {QStringLiteral("LastLogin"), QStringLiteral("")},
        {QStringLiteral("LastPwd"), QStringLiteral("")},
        {QStringLiteral("AutoLogin"), false},
        {kAutoStartKey, true},
        {kDebugKey, false},
    };
    return settings;
}

const std::array<const char *, oruController::kSectionCount> kHeaderTexts {
    QT_TRANSLATE_NOOP("pondrel::oruController", "Draft"),
    QT_TRANSLATE_NOOP("pondrel::oruController", "Uploaded"),
    QT_TRANSLATE_NOOP("pondrel::oruController", "Uploaded (from other computers)"),
    QT_TRANSLATE_NOOP("pondrel::oruController", "Received"),
};

} // namespace

oruController::oruController(QDBusConnection bus, QObject *parent)
    : QObject(parent)
    , m_bus(std::move(bus))
    , m_alerts(std::make_shared<oruAlertPresenter>())
    , m_window(std::make_unique<oruMainWindow>())
    , m_savedPassword(new oruSavedPassword(this))
{
    theController = this;
    setUpdateChecker(std::make_unique<oruPackageManagerUpdates>());
    m_alerts->setParentWindow(m_window.get());
    m_window->setCloseQuestion([this] { return windowShouldClose(); });
    connect(m_window.get(), &oruMainWindow::closed, this, [this] { applicationWillTerminate(); });
    connect(m_window.get(), &oruMainWindow::resized, this, [this] {
        recalcViews();
        QTimer::singleShot(0, this, &oruController::recalcViews);
    });
    connectActions();
}

oruController::~oruController()
{
    PhotoViewHost::setShared(nullptr);
    m_alerts->stopAcceptingForeignAlerts();
    // Finishing lets events through (a pending refresh timer, say) that may still ask the
    // service for work: the thread must end while m_service is still set, not inside its reset.
    if (m_service)
        m_service->finish();
    m_service.reset();
    if (theController == this)
        theController = nullptr;
}

oruController *oruController::sharedInstance()
{
    return theController;
}

bool oruController::awakeFromNib()
{
    m_debugMode = false;
    setAsideUnreadableSettings();
    createMissingSettings();
    if (m_debugMode)
        redirectStdErrToLogFile();
    logSystemProfile();

    m_currentAlbumUUID = QStringLiteral("");
    m_currentAlbum = oruItem();
    window().ui().oruTabView->setCurrentIndex(0);

    m_orunet = std::make_unique<oruNetwork>(m_alerts);
    m_service = std::make_unique<oruServiceThread>(this);
    connect(
        m_service.get(), &oruServiceThread::busyChanged, this, &oruController::updateCommandStates);
    setUpDrafts();

    m_localCacheFolder = Paths::cachesFolder();
    m_appSupportFolder = Paths::applicationSupportFolder();
    if (!ensureLocalFolder(m_localCacheFolder) || !ensureLocalFolder(m_appSupportFolder))
        return false;
    // The photo database lives in the application-support folder, so it is tidied only once
    // that folder is known to be one.
    m_service->run([net = m_orunet.get()] {
        net->makeUserAgent();
        oruNetwork::vacuumDB();
    });

    hideStatus();
    updateCountText();
    buildSections();
    setUpPictureView();
    recalcViews();
    window().ui().scrollView->verticalScrollBar()->setSingleStep(kLineStep);
    m_folderPic = Artwork::smallImage(QStringLiteral("folder"), window().devicePixelRatioF());
    m_photoPic = Artwork::smallImage(QStringLiteral("photo"), window().devicePixelRatioF());
    setCurrentAlbum(oruItem());
    window().ui().metaView->setFocus();
    PhotoViewHost::setShared(this);

    launchAgent();
    agentLaunched();
    updateCommandStates();
    return true;
}

void oruController::applicationDidFinishLaunching()
{
    QTimer::singleShot(kStartupDelayMs, this, [this] { m_updater->checkForUpdatesInBackground(); });
    registerNotificationObserver();
    QTimer::singleShot(kStartupDelayMs, this, &oruController::doStartupStuff);
}

void oruController::doStartupStuff()
{
    const Preferences settings = Preferences::shared();
    if (!settings.value(QStringLiteral("AutoLogin")).toBool()) {
        chooseLoginOrNewAccount();
        return;
    }
    const QString user = settings.value(QStringLiteral("LastLogin")).toString();
    m_savedPassword->read(
        user, [this, user](const QString &password) { loginWithUser(user, password); });
}

void oruController::setAsideUnreadableSettings()
{
    const QString path = Preferences::shared().filePath();
    if (!QFileInfo::exists(path) || QFileInfo(path).size() == 0
        || PropertyList::dictionaryFromPlist(path))
        return;
    // Kept beside, never overwritten: the user or support may still want what is in it.
    const QString kept = path + QStringLiteral(".unreadable-")
        + QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddTHHmmss"));
    const bool moved = QFile::rename(path, kept);
    m_alerts->alert(oruAlertRequest::Kind::Warning, tr("Your settings could not be read."),
        moved ? tr("%1 is not a property list. It was kept as %2, and Pondrel Publisher starts "
                   "with its default settings.")
                    .arg(path, kept)
              : tr("%1 is not a property list and could not be set aside. Pondrel Publisher "
                   "starts with its default settings but cannot keep changes to them.")
                    .arg(path));
}

void oruController::createMissingSettings()
{
    Preferences settings = Preferences::shared();
    const QVariantMap existing = settings.all();
    for (const auto &[key, fallback] : defaultSettings()) {
        if (existing.contains(key)) {
            if (key == kDebugKey)
                m_debugMode = existing.value(key).toBool();
            continue;
        }
        settings.setValue(key, fallback);
        if (key == kAutoStartKey)
            NTLoginItemMgr::addLoginItem(pathForAgent(), false);
    }
}

bool oruController::redirectStdErrToLogFile()
{
    const QString path = Paths::desktopFolder() + QLatin1Char('/') + kLogFileName;
    Paths::ensureFolder(Paths::desktopFolder());
    return std::freopen(QFile::encodeName(path).constData(), "w", stderr) != nullptr;
}

void oruController::logSystemProfile() const
{
    ORU_LOG(
        QStringLiteral("System: %1; kernel %2 %3; Qt %4 (built with %5)")
            .arg(QSysInfo::prettyProductName(), QSysInfo::kernelType(), QSysInfo::kernelVersion(),
                QString::fromLatin1(qVersion()), QLibraryInfo::version().toString()));
}

bool oruController::ensureLocalFolder(const QString &path)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isDir()) {
        ORU_LOG(QStringLiteral("Smart guy, %1 should be a directory").arg(path));
        m_alerts->alert(oruAlertRequest::Kind::Critical, tr("Fatal Error."),
            tr("Local directory cannot be created because it's a file."));
        return false;
    }
    if (!info.exists() && !Paths::ensureFolder(path)) {
        m_alerts->alert(oruAlertRequest::Kind::Critical, tr("Fatal Error."),
            tr("Couldnt create local directory\nI will quit now."));
        return false;
    }
    return true;
}

void oruController::buildSections()
{
    QWidget *metaView = window().ui().metaView;
    for (int i = 0; i < kSectionCount; ++i) {
        auto *header = new oruHeaderView(metaView);
        header->setHeaderText(tr(kHeaderTexts[i]));
        m_headerViews[i] = header;
        auto *grid = new MUPhotoView(metaView);
        grid->setDelegate(this);
        grid->setBackgroundColor(m_backgroundColor);
        grid->setUseShadowBorder(true);
        grid->setUseOutlineBorder(true);
        grid->setUseBorderSelection(false);
        grid->setPhotoVerticalSpacing(kVerticalSpacing);
        grid->setPhotoHorizontalSpacing(kHorizontalSpacing);
        grid->setTag(i + 1);
        m_photoViews[i] = grid;
    }
}

MUPhotoView *oruController::photoViewForTag(quint32 tag) const
{
    const int index = indexOfSection(tag);
    return index < 0 ? nullptr : m_photoViews[index];
}

oruHeaderView *oruController::headerViewForTag(quint32 tag) const
{
    const int index = indexOfSection(tag);
    return index < 0 ? nullptr : m_headerViews[index];
}

void oruController::recalcViews()
{
    if (!m_photoViews[0])
        return;
    for (MUPhotoView *grid : m_photoViews)
        grid->updateGridAndFrame();
    QScrollArea *scrollView = window().ui().scrollView;
    const int width = scrollView->viewport()->width();
    const bool draftShown = m_signedOn && !m_currentAlbum.isImported();
    int y = 0;
    for (int i = 0; i < kSectionCount; ++i) {
        const bool shown
            = i == indexOfSection(DraftTag) ? draftShown : !m_pictureViewArrays[i].isEmpty();
        if (!shown) {
            m_headerViews[i]->setGeometry(QRect());
            m_photoViews[i]->setGeometry(QRect());
            m_headerViews[i]->hide();
            m_photoViews[i]->hide();
            continue;
        }
        m_headerViews[i]->setGeometry(0, y, width, kHeaderHeight);
        const QSize gridSize = m_photoViews[i]->size();
        m_photoViews[i]->setGeometry(0, y + kHeaderHeight, gridSize.width(), gridSize.height());
        m_headerViews[i]->show();
        m_photoViews[i]->show();
        y += kHeaderHeight + gridSize.height();
    }
    window().ui().metaView->resize(width, std::max(y, scrollView->viewport()->height()));
    ScrollViewExtras::scrollToTop(scrollView);
    allPictureViewsSetNeedsDisplay();
}

void oruController::showStatus(const QString &text)
{
    ORU_LOG(text);
    window().ui().statusText->setText(text);
    window().ui().progressIndicator->setRange(0, 0);
    window().ui().progressIndicator->setVisible(true);
}

void oruController::hideStatus()
{
    window().ui().statusText->setText(QString());
    window().ui().progressIndicator->setRange(0, 1);
    window().ui().progressIndicator->setVisible(false);
}

QString oruController::statusText() const
{
    return window().ui().statusText->text();
}
QString oruController::countText() const
{
    return window().ui().countTextField->text();
}

void oruController::updateWindowTitle()
{
    window().setWindowTitle(m_currentAlbum.isRoot()
            ? tr("Pondrel Publisher")
            : tr("Pondrel Publisher : %1").arg(m_currentAlbum.name()));
}

void oruController::setCurrentAlbum(const oruItem &album)
{
    m_currentAlbum = album;
    m_currentPermissions
        = album.uniqueID().isEmpty() ? 3 : static_cast<qint32>(album.permissions());
    updateWindowTitle();
}

void oruController::showPrefs()
{
    oruPrefsController dialog(Preferences::shared().value(kAutoStartKey).toBool());
    if (m_alerts->runDialog(dialog) != QDialog::Accepted)
        return;
    Preferences::shared().setValue(kAutoStartKey, dialog.autoStart());
    if (dialog.autoStart())
        NTLoginItemMgr::addLoginItem(pathForAgent(), false);
    else
        NTLoginItemMgr::removeLoginItem(pathForAgent());
}

void oruController::showAboutBox()
{
    oruAboutBoxController::sharedInstance().showPanel();
}

bool oruController::windowShouldClose()
{
    if (pictureViewArrayForTag(DraftTag).isEmpty())
        return true;
    const QString answer
        = m_alerts->alert(oruAlertRequest::Kind::Warning, tr("Some drafts were not saved."),
            tr("Do you really want to quit?"), {tr("Yes"), tr("No")});
    if (answer != tr("Yes"))
        return false;
    pictureViewArrayForTag(DraftTag).clear();
    pictureViewIndexForTag(DraftTag) = IndexSet();
    return true;
}

bool oruController::applicationShouldTerminate()
{
    if (m_terminating)
        return false;
    return windowShouldClose();
}

void oruController::terminate()
{
    if (!applicationShouldTerminate())
        return;
    window().hide();
    applicationWillTerminate();
}

void oruController::applicationWillTerminate(std::function<void()> done)
{
    if (m_terminating)
        return;
    m_terminating = true;
    saveDraftAssets();
    auto finish = [this, done = std::move(done)] {
        if (done)
            done();
        emit terminated();
    };
    if (m_signedOn)
        logout(finish);
    else
        finish();
}

int oruController::indexOfSection(quint32 tag) const
{
    return tag >= DraftTag && tag <= ImportedTag ? static_cast<int>(tag) - 1 : -1;
}

void oruController::setUpdateChecker(std::unique_ptr<oruUpdateChecker> checker)
{
    m_updater = std::move(checker);
    m_updater->setWillRelaunchCallback([this] { updaterWillRelaunchApplication(); });
}

} // namespace pondrel
