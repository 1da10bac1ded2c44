// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "client/oruAlert.h"

#include "soap/CollectionServices.h"
#include "soap/PublishingServices.h"

#include <QDateTime>
#include <QSize>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVariant>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace pondrel {

class Picture;

// What the asset operations read of one of the Publisher's items: the asset's identifier and,
// for a wallpaper request, its orientation (1 to 8) and pixel size.
struct oruAssetItem
{
    QString uniqueID;
    int orientation = 1;
    int pixelsWidth = 0;
    int pixelsHeight = 0;
};

// The service client: one per program. It holds who is talking to the service (the
// workstation's computer identifier, the signed-on account and its session) and offers one
// synchronous operation per thing the programs do with the service. An operation returns a
// flag or a result that is empty on failure; the failure's text is left in errorMsg() (never
// cleared on success) and, for the operations the user starts, shown through the program's
// alert presenter.
//
// There is no lock: a caller must not run two operations on the same service at once. The
// operations that show an alert belong on the thread the presenter expects (the Publisher's
// main thread).
class oruNetwork
{
public:
    // Albums' thumbnail options and the rating names, by index.
    static const QStringList &thumbnailOptionsType();
    static const QStringList &ratingType();
    // The computer identifier before the workstation is registered.
    static inline const QString kPlaceholderComputerIdentifier
        = QStringLiteral("12345678-1234-1234-1234-123456789012");
    // The shared entry both programs keep the computer identifier under.
    static inline const QString kComputerIDKey = QStringLiteral("ComputerID");
    // Wallpaper renditions are at most this large.
    static constexpr int kWallpaperMaxWidth = 1920;
    static constexpr int kWallpaperMaxHeight = 1200;

    using ScreenSizeProvider = std::function<QSizeF()>;

    // Without a presenter, alerts go to the log and standard error.
    explicit oruNetwork(std::shared_ptr<oruAlert> alert = {});
    ~oruNetwork();
    oruNetwork(const oruNetwork &) = delete;
    oruNetwork &operator=(const oruNetwork &) = delete;

    // Identity and account.
    bool registerComputerIfNeeded();
    bool checkComputer();
    bool registerComputer();
    bool signOn(const QString &accountId, const QString &password);
    bool signOff();
    std::optional<QVariantMap> getAccountInfo();
    // An empty newPassword keeps the current password.
    bool updateAccountInfo(
        const QString &newFirstName, const QString &newLastName, const QString &newPassword);
    bool createNewAccount(const QString &firstName, const QString &lastName,
        const QString &password, const QString &email);
    bool getSessionInfo();
    bool getAccountInfoAsTypedDataSet();
    bool checkAccount() const { return false; }
    bool unregisterComputer() const { return false; }

    // " <program> <version> (<system> <release> <build>)", stored as this program's
    // "UserAgent", which every SOAP request then carries. Both programs call it at start.
    void makeUserAgent();
    // The standard output of a tool run with the arguments, as UTF-8 text; none without a path,
    // without output, with output that is not UTF-8, or when the tool cannot start. While a
    // debugger is attached nothing runs and the answer is "Running GDB ".
    static std::optional<QString> backtick(const QString &path, const QStringList &params);
    // A new random UUID: 36 upper-case characters in groups of 8-4-4-4-12, without braces.
    static QString stringWithUUID();
    // Shows a critical alert; of a service fault only the text after its first "---> ".
    void displayError(const QString &title, const QString &message);
    static QString messageForAlert(const QString &message);

    // Assets: every one needs a signed-on client.
    std::optional<QVariantList> getAssets(const QString &parentIdentifier);
    bool renameAsset(const QString &assetId, const QString &name, const QString &desc);
    bool setAssetRating(const QString &assetId, int rating);
    // permissions: a number or its decimal text, passed to the service unchanged.
    bool setPictureAssetPermissions(const QString &assetId, const QVariant &permissions);
    bool setFolderAssetPermissions(const QString &albumId, const QVariant &permissions);
    bool setFolderThumbnailOptions(const QString &albumId, int options);
    bool destroyFolderAsset(const QString &albumId);
    bool destroyPictureAsset(const QString &pictureId);

    // Sharing by e-mail and web addresses.
    static QVariantMap recipientRecord(const QString &firstName, const QString &emailAddress,
        const QString &shortNote, bool includeSubFolders, bool allowForwarding);
    bool sendSharing(const oruAssetItem &item, const QVariantList &recipients,
        bool createDirectAccessLinks, const QString &emailNotificationType);
    std::optional<QVariantMap> getExportLinksInfo(const oruAssetItem &item);
    bool revokeExportLink(const oruAssetItem &item, const QString &email);
    // The new web address.
    std::optional<QString> createSymbolicLink(const oruAssetItem &item, const QString &name,
        const QString &description, const QString &alias, const QString &password, bool includeSub);
    std::optional<QVariantMap> getSymbolicLinksInfo(const QString &linkOrIdentifier);
    bool destroySymbolicLink(const QString &linkOrIdentifier);
    std::optional<QVariantMap> getExportGraph(
        const oruAssetItem &item, const QString &startNode, int depth, const QString &format);
    bool detachImportedAsset(const QString &assetId);
    // Stops at the first failure; an empty list succeeds.
    bool detachImportedAssets(const QStringList &assetIds);
    bool requestWallpaper(const oruAssetItem &item);
    // The screen size limited to the largest wallpaper, fractions dropped.
    static QSize wallpaperSize(const QSizeF &screen);

    // The local photo database and the digests, for callers that hold only the client.
    static QString photoDBName();
    bool addPhotoToDB(const QString &path, const QString &moniker, const QString &hash);
    static std::optional<QVariantMap> getPhotoFromDB(const QString &moniker);
    static void removePhotoFromDB(const QString &moniker);
    static int vacuumDB();
    static std::optional<QString> sha1FromFile(const QString &path);
    static std::optional<QString> md5(const QString &text);
    static bool checkHashIsSame(const QString &path, const QString &hash);

    // The visit cycle, which only the Agent runs. Everything below happens on the thread of
    // visitCycleContext(): the delayed visits and the visit timer fire there, and
    // visitAndProcess() must be called there (it needs an event loop: the main thread or a
    // worker QThread). Service calls, decoding, rendering and uploads block that thread.
    static inline const QString kSavedBatchFileName = QStringLiteral("Pondrel_Batch.plist");
    // A service interval of this or less schedules nothing.
    static constexpr int kMinimumVisitIntervalMs = 5000;
    // The visit that follows a processed batch, to report its statuses.
    static constexpr int kFollowUpVisitDelayMs = 5000;
    // Failure codes of a command status.
    static inline const QString kErrorNotInPhotoDB = QStringLiteral("-1");
    static inline const QString kErrorFileNotOnDisk = QStringLiteral("-2");
    static inline const QString kErrorNotValidImage = QStringLiteral("-3");
    static inline const QString kErrorRenderingFailed = QStringLiteral("-4");
    static inline const QString kErrorHashDiffers = QStringLiteral("-5");
    static inline const QString kErrorUploadRefused = QStringLiteral("-6");
    // A batch whose uploads never got an answer, given up.
    static inline const QString kErrorGivenUp = QStringLiteral("-7");
    // A saved batch is given up after this many replays, or this long after it came.
    static constexpr int kMaxBatchReplays = 5;
    static constexpr qint64 kBatchLifetimeSeconds = 24 * 3600;
    // A failed visit is tried again after this delay, doubled after every further failure up
    // to the longest, each less a random fifth so that many workstations do not come at once.
    static constexpr int kFirstRetryDelayMs = 30'000;
    static constexpr int kLongestRetryDelayMs = 15 * 60'000;

    // "Rendering 2 of 3…" while a batch is worked on.
    using VisitProgressHandler = std::function<void(const QString &text)>;
    // After every visitAndProcess(): whether it went well, and a line for the user ("Last visit
    // failed: …").
    using VisitOutcomeHandler = std::function<void(bool succeeded, const QString &text)>;

    // One visit: a saved batch from disk, or the service's Visit with the statuses of the last
    // run. False only when the service call failed (errorMsg tells why); the statuses it carried
    // are then kept for the next visit.
    bool visit();
    // The command records of a "Commands" document: every "Command" element at any depth.
    static QVariantList parseCommands(const QString &commands);
    // One "Command" element's XML as a flat record of its attributes and leaf elements.
    static QVariantMap parseSingleCommand(const QString &command);
    // Runs every batch of commandBatch(), leaving their statuses for the next visit.
    void processCommandBatch();
    // Renders one RenderPicture command from the batch's decoded picture and uploads it. The
    // command's status record: "Succeeded", or "Failed" with its own code and description.
    // An upload that got no HTTP answer at all also sets curlAbort.
    QVariantMap renderPictureCommand(const QVariantMap &command, const Picture &image);
    static QString savedBatchFilename();
    // When the saved batches came and how many of their runs were cut short by an upload
    // without answer; removed with the saved batches.
    static QString savedBatchReplaysFilename();
    bool commandBatchEmpty() const { return m_commandBatch.isEmpty(); }
    // A one-shot visit after the interval in whole seconds, when it is above 5000 ms.
    void scheduleNextVisit(qint32 milliseconds);
    // A visit, then the processing of any batch it brought and a follow-up visit 5 s later.
    void visitAndProcess();
    // Whether the timed visit is pending.
    bool visitPending() const;
    // Cancels the timed visit and any follow-up visit; on the cycle's thread, before the client
    // or that thread goes. The next visitAndProcess() starts the cycle again.
    void stopVisitCycle();
    // The e-mail address from a "Login" notification's user info ("LastLogin"); without one
    // the empty text, which the visit digests like any other.
    void takeLoginNotification(const QVariantMap &userInfo);
    // Lives in the thread that made the client. An Agent that visits on a worker thread moves it
    // there before the first visit and starts visits through it:
    //     QMetaObject::invokeMethod(orunet.visitCycleContext(), [&] { orunet.visitAndProcess(); });
    QObject *visitCycleContext() const { return m_visitCycleContext.get(); }
    // Called on the cycle's thread; a handler forwards to the GUI thread itself.
    void setVisitProgressHandler(VisitProgressHandler handler);
    void setVisitOutcomeHandler(VisitOutcomeHandler handler);

    // Fields.
    QString serviceKey() const { return m_serviceKey; }
    void setServiceKey(const QString &key) { m_serviceKey = key; }
    // A null text when there is none.
    QString computerIdentifier() const { return m_computerIdentifier; }
    void setComputerIdentifier(const QString &identifier) { m_computerIdentifier = identifier; }
    QString sessionIdentifier() const { return m_sessionIdentifier; }
    void setSessionIdentifier(const QString &identifier) { m_sessionIdentifier = identifier; }
    // A null text until an operation has failed.
    QString errorMsg() const { return m_errorMsg; }
    void setErrorMsg(const QString &message) { m_errorMsg = message; }
    QString firstName() const { return m_firstName; }
    void setFirstName(const QString &name) { m_firstName = name; }
    QString emailAddress() const { return m_emailAddress; }
    void setEmailAddress(const QString &address) { m_emailAddress = address; }
    QString password() const { return m_password; }
    void setPassword(const QString &password) { m_password = password; }
    QString userAgent() const { return m_userAgent; }
    QString culture() const { return m_culture; }
    void setCulture(const QString &culture) { m_culture = culture; }
    bool isLogged() const { return m_isLogged; }
    void setIsLogged(bool logged) { m_isLogged = logged; }
    // Asked from another thread to stop a running upload.
    bool curlAbort() const { return m_curlAbort; }
    void setCurlAbort(bool abort) { m_curlAbort = abort; }
    // The Agent's visit timer; signOff stops and drops it.
    QTimer *visitTimer() const { return m_visitTimer.get(); }
    void setVisitTimer(std::unique_ptr<QTimer> timer);
    QVariantList commandBatch() const { return m_commandBatch; }
    void setCommandBatch(const QVariantList &batch) { m_commandBatch = batch; }
    QVariantList &previousCommandBatchesStatuses() { return m_previousCommandBatchesStatuses; }
    QVariantList resultOfLastCommand() const { return m_resultOfLastCommand; }
    void setResultOfLastCommand(const QVariantList &results) { m_resultOfLastCommand = results; }
    CollectionServices &collectionServices() { return *m_collectionServices; }
    PublishingServices &publishingServices() { return *m_publishingServices; }

    void setAlert(std::shared_ptr<oruAlert> alert);
    // The Publisher supplies the size of its primary screen; without a provider a wallpaper
    // request fails, as nobody can say what size it should have.
    void setScreenSizeProvider(ScreenSizeProvider provider) { m_screenSize = std::move(provider); }

private:
    // True when the reply has no "error"; otherwise the error is kept in errorMsg.
    bool succeeded(const QVariantMap &reply);
    // The same, and the alert titled title on failure.
    bool succeededOrAlert(const QVariantMap &reply, const char *title);
    bool failWith(const QString &message);
    bool failWithAlert(const QString &message, const char *title);
    void forgetAccount();
    bool refuseSignOn(const QString &message);
    QVariant computerIdentifierArgument() const;
    // Whether the service knows the workstation; nothing when it did not say (a fault, no
    // answer, an answer that is no SOAP reply).
    std::optional<bool> serviceKnowsComputer();
    std::optional<QVariantList> savedCommandBatch();
    void saveCommandBatch(const QVariantList &batches, const QDateTime &received, int abortedRuns);
    void removeSavedCommandBatch();
    // Reports every RenderPicture command of the batches as given up.
    void giveUpCommandBatches(const QVariantList &batches, const QString &why);
    void scheduleRetryVisit();
    void startVisitTimer(std::chrono::milliseconds delay);
    void reportVisitProgress(const QString &text) const;

    QString m_serviceKey;
    QString m_computerIdentifier = kPlaceholderComputerIdentifier;
    QString m_sessionIdentifier = QStringLiteral("");
    QString m_errorMsg;
    QString m_firstName = QStringLiteral("");
    QString m_emailAddress = QStringLiteral("");
    QString m_password = QStringLiteral("");
    QString m_userAgent;
    QString m_culture = QStringLiteral("");
    std::unique_ptr<QTimer> m_visitTimer;
    bool m_isLogged = false;
    std::atomic<bool> m_curlAbort = false;
    QVariantList m_commandBatch;
    QVariantList m_previousCommandBatchesStatuses;
    std::unique_ptr<CollectionServices> m_collectionServices;
    std::unique_ptr<PublishingServices> m_publishingServices;
    QVariantList m_resultOfLastCommand;
    std::shared_ptr<oruAlert> m_alert;
    ScreenSizeProvider m_screenSize;
    std::unique_ptr<QObject> m_visitCycleContext = std::make_unique<QObject>();
    VisitProgressHandler m_visitProgress;
    VisitOutcomeHandler m_visitOutcome;
    int m_failedVisits = 0;
    // Of the batches in hand: when they came and how many runs an upload cut short.
    QDateTime m_batchReceived;
    int m_batchAbortedRuns = 0;
};

} // namespace pondrel
