// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "client/oruNetwork.h"
#include "client/oruNotifications.h"
#include "model/oruItem.h"
#include "publisher/app/CommandRules.h"
#include "publisher/preview/PictureDownload.h"
#include "publisher/preview/ThumbnailStore.h"
#include "publisher/preview/oruLoader.h"
#include "model/ItemEdits.h"
#include "model/photolibrary/PhotoLibraryCatalogue.h"
#include "publisher/drafts/DraftsWorkflow.h"
#include "publisher/views/IndexSet.h"
#include "publisher/views/MUPhotoView.h"
#include "publisher/views/MUPhotoViewDelegate.h"
#include "publisher/views/PhotoViewHost.h"
#include "publisher/views/oruHeaderView.h"
#include "support/LifoMutableArray.h"

#include <QColor>
#include <QDBusConnection>
#include <QImage>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

#include <array>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QMenu;
class QPushButton;
class QToolBar;

namespace pondrel {

class oruAlertPresenter;
class oruDesktopApplication;
class oruLoginController;
class oruMainWindow;
class oruNewAccountController;
class ORPhotoView;
class oruSavedPassword;
class oruServiceThread;
class oruUpdateChecker;

// The Publisher's one controller: application and window delegate, data source and delegate
// of the four grids, and owner of everything the Publisher holds. Its operations are spread
// over one file per concern: oruController.cpp (start-up, layout, preferences, quitting),
// _Login, _Browse, _Agent, _Notification, _Desktop (menu commands, the bus interface) and
// _Drafts; other concerns add their own file.
//
// Threads: everything here runs on the GUI thread. Service calls run on the service thread
// (service()), whose results come back as continuations on the GUI thread; meanwhile a status
// text shows and the commands that need the service are disabled. The client's own alerts go
// through the same presenter as every other alert and dialog (alerts()).
class oruController : public QObject, public MUPhotoViewDelegate, public PhotoViewHost
{
    Q_OBJECT

public:
    // Section tags, and the tag that stands for none.
    enum Tag : quint32 { DraftTag = 1, LocalTag = 2, RemoteTag = 3, ImportedTag = 4 };
    static constexpr quint32 kMissingTag = 0x7FFFFFFF;
    static constexpr int kSectionCount = 4;

    static constexpr int kVerticalSpacing = 55;
    static constexpr int kHorizontalSpacing = 100;
    static constexpr int kHeaderHeight = 40;
    static constexpr int kLineStep = 25;
    static constexpr int kStartupDelayMs = 200;
    static constexpr int kAgentRefreshDelayMs = 1000;

    static inline const QString kLogFileName = QStringLiteral("pondrel_publisher.log");
    static inline const QString kAgentBundleId = QStringLiteral("com.trevane.oru_agent");
    static inline const QString kAgentProgramName = QStringLiteral("pondrel-agent");

    // Everything on the session bus (notifications, the Agent's name) goes through bus.
    explicit oruController(
        QDBusConnection bus = QDBusConnection::sessionBus(), QObject *parent = nullptr);
    ~oruController() override;
    oruController(const oruController &) = delete;
    oruController &operator=(const oruController &) = delete;

    // The one controller while it lives.
    static oruController *sharedInstance();

    // Start-up, in this order. awakeFromNib() is false when the local folders cannot exist:
    // the Publisher has said why and must end.
    bool awakeFromNib();
    void applicationDidFinishLaunching();
    void doStartupStuff();

    // Quitting. The window closes only when windowShouldClose() allows; a quit command asks
    // applicationShouldTerminate(); applicationWillTerminate() saves, signs off and then calls
    // done (and emits terminated()).
    bool windowShouldClose();
    bool applicationShouldTerminate();
    void applicationWillTerminate(std::function<void()> done = {});
    // The quit command: asks, then ends the program.
    void terminate();

    // The main window.
    oruMainWindow &window() const { return *m_window; }
    MUPhotoView *photoViewForTag(quint32 tag) const;
    oruHeaderView *headerViewForTag(quint32 tag) const;
    void recalcViews();
    void showStatus(const QString &text);
    void hideStatus();
    QString statusText() const;
    QString countText() const;
    void updateWindowTitle();
    void setCurrentAlbum(const oruItem &album);
    const oruItem &currentAlbum() const { return m_currentAlbum; }
    qint32 currentPermissions() const { return m_currentPermissions; }
    void showPrefs();
    void showAboutBox();

    // Sign-on and accounts.
    void chooseLoginOrNewAccount();
    void showLoginPanel();
    // done(true) once signed on.
    void loginWithUser(
        const QString &user, const QString &password, std::function<void(bool)> done = {});
    void logout(std::function<void()> done = {});
    void loginOrLogout();
    void showNewAccount();
    void createNewAccount() { showNewAccount(); }
    void showAccountPanel();
    void changeLoginItem();
    // As the service thread last reported it.
    bool isSignedOn() const { return m_signedOn; }

    // The Agent.
    static QString pathForAgent();
    void launchAgent();
    bool agentLaunched() const;
    void testAgent();

    // Notifications.
    bool sendLoginNotification(const QString &name);
    bool sendVisitNotification();
    void updaterWillRelaunchApplication();
    void handleUpdateRestart();
    void registerNotificationObserver();
    void refreshPhoto(const oruNotification &notification);

    // Browsing: lookups.
    QList<oruItem> &pictureViewArrayForTag(quint32 tag);
    const QList<oruItem> &pictureViewArrayForTag(quint32 tag) const;
    IndexSet &pictureViewIndexForTag(quint32 tag);
    QList<oruItem> *pictureViewArrayForAssetType(const QString &assetType);
    quint32 tagViewOfFirstSelectedItem() const;
    void resetAllSelectionIndexes() override;
    void allPictureViewsSetNeedsDisplay();
    std::optional<QVariantMap> assetFromUniqueID(const QString &identifier) const;
    bool isAlbumDraft(const QString &identifier) const;
    int numberOfDraftItems() const;
    void getNumberOfAlbumsAndPictures(int &albums, int &pictures) const;
    QList<oruItem> arrayOfAllItems(int &position) const;
    std::optional<QString> renditionUrlForItem(const oruItem &item, const QString &name) const;
    QMenu *contextualMenuForSelection(int tag) override;
    const QVariantList &assetsList() const { return m_assetsList; }
    DraftStore &draftAssetsByAlbum() { return m_drafts->store(); }
    DraftsWorkflow &drafts() const { return *m_drafts; }
    int albumDepth() const { return static_cast<int>(m_albumHeap.count()); }

    // Browsing: actions.
    void refresh();
    void goDown(const oruItem &album);
    void goUp();
    void openItem();
    void openItemAt(quint32 tag, quint32 index, bool alwaysRequestPreview);
    void goBrowser();
    void fetchThumbnails();
    void fetchMissingPictures();
    void rebuildPictureViewArray();
    void updateCountText();

    // The grids' data source and delegate.
    quint32 photoCountForPhotoView(MUPhotoView *view) override;
    QImage photoAtIndex(MUPhotoView *view, quint32 index) override;
    QString titleAtIndex(MUPhotoView *view, quint32 index) override;
    bool isFolderAtIndex(MUPhotoView *view, quint32 index) override;
    QImage smallIconAtIndex(MUPhotoView *view, quint32 index) override;
    // A draft the service refused shows the reason.
    QString toolTipAtIndex(MUPhotoView *view, quint32 index) override;
    void attribsAtIndex(MUPhotoView *view, quint32 index, bool &isShared, bool &emailShared,
        bool &webShared, bool &retrievalFailed) override;
    IndexSet selectionIndexesForPhotoView(MUPhotoView *view) override;
    IndexSet willSetSelectionIndexes(MUPhotoView *view, const IndexSet &proposed) override;
    void didSetSelectionIndexes(MUPhotoView *view, const IndexSet &indexes) override;
    void doubleClickOnPhotoAtIndex(MUPhotoView *view, quint32 index) override;
    IndexSet willRemovePhotosAtIndexes(MUPhotoView *view, const IndexSet &indexes) override;

    // The full picture view, thumbnails, wallpapers and downloads (oruController_Preview.cpp).
    void refreshPictureView();
    void updateFullPictureViewButtons(const oruItem &item);
    void displayPrevPic();
    void displayNextPic();
    void requestWallpaper();
    void downloadPicture();
    void showDownloadPictureAsset(const oruItem &item);
    void downloadPictureToFile(const QString &url, const QString &path);
    ORPhotoView &photoView() const { return *m_photoView; }
    oruLoader &loader() const { return *m_loader; }
    ThumbnailStore &thumbnails() { return m_thumbnails; }
    // The full picture view's buttons by name: "download", "wallpaper", "back", "previous",
    // "next", "rotateRight", "rotateLeft".
    QPushButton *fullViewButton(const QString &name) const;

    // Drafts (_Files): new albums, imports, the commit, and the offer to restore unsent drafts.
    bool saveDraftAssets() const;
    static QString draftsFileName() { return QStringLiteral("drafts.plist"); }
    void newAlbum();
    void importPicture();
    void startImportingWithFiles(const QStringList &paths);
    void commitDraftsToServer();
    // Photo libraries (_PhotoLibrary): reads the libraries off the GUI thread, then runs the
    // sheet and imports the chosen album, into the current album or a new draft album.
    void showImportIPhotoAlbum();
    void selectIPhotoAlbum(const PhotoLibraryCatalogue &catalogue);
    // Removal, rotation (_Remove) and the info dialogs (_Info).
    void removeItem();
    void getNumberOfSelectedAlbumsAndPictures(int &albums, int &pictures) const;
    void rotateLeft();
    void rotateRight();
    // Turns the item a quarter to the left or right: its orientation, its record's
    // "RotateFlipType" (a draft's own record too, so it is sent turned), its preview and its
    // cached thumbnail.
    void rotateItem(oruItem &item, bool left);
    // The picture of the full picture view turns (nothing without its preview), shown turned,
    // and the grids' copy of it with it.
    void rotateShownPicture(bool left);
    void getInfo();
    void showAlbumInfoForItem(oruItem &item);
    void showPictureInfoForItem(oruItem &item);
    // Sharing (_Sharing): the e-mail and web-address dialogs of the first selected album,
    // which must be on the service; an accepted dialog updates the album's record and badge.
    void manageSharing();
    void manageWebSharing();

    // The command surface (_Commands): the one enabling rule applied to the live state, the
    // toolbar and its customisation, the grids' context menus and the window's own commands.
    CommandState commandState() const;
    bool validateMenuItem(const QAction *item) const;
    bool validateToolbarItem(const QAction *item) const;
    QToolBar &toolbar() const;
    // The toolbar's action for an item identifier ("LoginItem"...); null when not shown.
    QAction *toolbarItem(const QString &identifier) const;
    QStringList toolbarItemIdentifiers() const { return m_toolbarIdentifiers; }
    // Shows these items (unknown ones left out) and keeps them in the preferences.
    void setToolbarItemIdentifiers(const QStringList &identifiers);
    void customizeToolbar();
    void selectAll();
    void showHelp();

    // The desktop: menu commands by name (commandName() of every command with an action),
    // the bus interface, files handed to the Publisher.
    static QStringList actionNames();
    QAction *actionNamed(const QString &name) const;
    bool activateAction(const QString &name);
    void activate();
    void openUris(const QStringList &uris);
    bool openFile(const QString &path) override;
    // The bus interface; without it the Publisher still runs, alone on no bus.
    void setDesktopApplication(oruDesktopApplication *application);
    const QStringList &filesToImport() const { return m_drafts->filesToImport(); }

    oruAlertPresenter &alerts() const { return *m_alerts; }
    oruServiceThread &service() const { return *m_service; }
    // Only for work queued on the service thread.
    oruNetwork *orunet() const { return m_orunet.get(); }
    void setUpdateChecker(std::unique_ptr<oruUpdateChecker> checker);

signals:
    void signOnFinished(bool signedOn);
    void signedOff();
    void refreshed();
    void terminated();

private:
    // Start-up steps.
    void setAsideUnreadableSettings();
    void createMissingSettings();
    void logSystemProfile() const;
    bool ensureLocalFolder(const QString &path);
    void buildSections();
    static bool redirectStdErrToLogFile();
    // The menu's and toolbar's commands, and which of them may run now.
    void connectActions();
    void connectCommandActions();
    void updateCommandStates();
    void buildToolbar();
    void showToolbarMenu(const QPoint &position);
    QMenu *contextMenuWith(const QString &name, const QList<QAction *> &actions);
    void setLoginPanelResult(bool signedOn);
    void runLoginPanel(std::shared_ptr<oruLoginController> panel);
    void runNewAccountDialog(std::shared_ptr<oruNewAccountController> dialog);
    void newAccountCreated(const QString &email, const QString &password);
    void showAccountPanelWith(const QVariantMap &info);
    void finishLogout();
    void listingArrived(
        const QString &albumId, quint64 generation, const std::optional<QVariantList> &assets);
    void stopLoader();
    void setUpPictureView();
    void showPicture(const oruItem &item, bool alwaysRequestPreview);
    void stepToPicture(bool forward);
    void previewArrived(const QString &key, const QImage &preview);
    void tellLoaderWhatIsVisible();
    void fetchItems(const QList<oruItem> &items);
    bool hasThumbnail(const oruItem &item) const;
    std::optional<oruItem> firstSelectedItem() const;
    int indexOfSection(quint32 tag) const;
    quint32 tagOfView(MUPhotoView *view) const;
    const oruItem *itemAt(MUPhotoView *view, quint32 index) const;
    // Drafts, removal and info (_Files, _Remove, _Info).
    void setUpDrafts();
    void draftsSignedOn(const QString &account);
    void draftsCommitted();
    void runOnService(std::vector<ItemEdits::ServiceCall> calls);
    bool canImportPhotoLibraryAlbum() const;
    void importPhotoLibraryPictures(const PhotoLibraryCatalogue::Pictures &pictures, bool newAlbum);
    void enterNewDraftAlbumAndImport(const QString &identifier, const QStringList &paths);
    std::optional<oruItem> firstSelectedSharableAlbum() const;
    // Sets, or removes when links is empty, the album record's key = {element: links}.
    void storeAlbumLinks(const QString &albumId, const QString &key, const QString &element,
        const QVariantList &links);
    QList<oruItem *> itemsWithIdentifier(const QString &identifier);

    QDBusConnection m_bus;
    std::shared_ptr<oruAlertPresenter> m_alerts;
    std::unique_ptr<oruMainWindow> m_window;
    std::array<MUPhotoView *, kSectionCount> m_photoViews {};
    std::array<oruHeaderView *, kSectionCount> m_headerViews {};

    QString m_localCacheFolder;
    QString m_appSupportFolder;
    std::array<QList<oruItem>, kSectionCount> m_pictureViewArrays;
    std::array<IndexSet, kSectionCount> m_pictureViewIndexes;
    QVariantList m_assetsList;
    std::unique_ptr<DraftsWorkflow> m_drafts;
    oruItem m_currentAlbum;
    LifoMutableArray<oruItem> m_parentHeap;
    LifoMutableArray<oruItem> m_albumHeap;
    LifoMutableArray<QVariantList> m_assetsHeap;
    QColor m_backgroundColor = Qt::white;
    QString m_currentAlbumUUID;
    qint32 m_currentPermissions = 3;
    QImage m_folderPic;
    QImage m_photoPic;
    bool m_debugMode = false;

    std::unique_ptr<oruNetwork> m_orunet;
    // Declared after the client: it ends, finishing its work, before the client goes.
    std::unique_ptr<oruServiceThread> m_service;
    std::unique_ptr<oruNotifications> m_notifications;
    std::unique_ptr<oruUpdateChecker> m_updater;
    oruSavedPassword *m_savedPassword = nullptr;
    oruDesktopApplication *m_desktopApplication = nullptr;

    ThumbnailStore m_thumbnails;
    // After the window and the service thread, so it goes first and stops its work.
    std::unique_ptr<oruLoader> m_loader;
    std::unique_ptr<PictureDownload> m_pictureDownload;
    ORPhotoView *m_photoView = nullptr;
    QMap<QString, QPushButton *> m_fullViewButtons;

    QStringList m_toolbarIdentifiers;
    QMap<QString, QAction *> m_toolbarItems;
    QMenu *m_albumContextMenu = nullptr;
    QMenu *m_photoContextMenu = nullptr;

    bool m_signedOn = false;
    // Listings in flight answer for the album and generation they were asked for; a newer
    // listing, a move to another album or a sign-off makes older answers stale.
    quint64 m_listingGeneration = 0;
    bool m_terminating = false;
    bool m_readingPhotoLibraries = false;
    bool m_photoLibraryNewAlbum = false;
};

} // namespace pondrel
