// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "client/oruNetwork.h"
#include "model/DraftStore.h"

#include <QObject>
#include <QSet>
#include <QStringList>
#include <QThreadPool>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace pondrel {

// Sends the drafts to the service: albums first, in passes so that a parent exists before its
// children are created in it, then the pictures.
//
// Workers create the assets, each with a client of its own on the signed-on session (a client
// is not to be shared between threads); the store is changed only on the thread this object
// lives on, through queued calls. A created album takes its contents along to its new
// identifier (DraftStore::albumCreated), so a commit cut short resumes where it stopped. What
// the service refuses stays in the drafts, marked with the reason, and is counted in the
// summary; a later commit tries it again.
class DraftCommit : public QObject
{
    Q_OBJECT

public:
    using ClientFactory = std::function<std::unique_ptr<oruNetwork>()>;

    struct Summary
    {
        int sent = 0;
        // Drafts still in the store afterwards: refused ones and what lies beneath a refused album.
        int notSent = 0;
        // One line per refused draft: its name and the service's reason.
        QStringList problems;
    };

    // Clients on the session of network, one per worker thread, made when first needed.
    static ClientFactory clientsLike(const oruNetwork &network);

    DraftCommit(DraftStore &store, ClientFactory clientFactory, QObject *parent = nullptr);
    ~DraftCommit() override;

    // resumed: the drafts come back from a commit that was cut short, so a picture whose album
    // already holds one of the same name and digest was sent then and is not sent again.
    bool start(bool resumed = false);
    bool isRunning() const { return m_running; }
    // Called on a worker before an album is created, after draftsChanged handed over the drafts
    // that hold what the service had of its name: returns once those drafts are on disk.
    void setWaitUntilSaved(std::function<void()> waitUntilSaved)
    {
        m_waitUntilSaved = std::move(waitUntilSaved);
    }

signals:
    void started(int itemCount);
    void picturesStarted();
    void progressed(int itemsDone, int itemCount);
    // The drafts changed as the commit went: the moment to write them to disk.
    void draftsChanged();
    void finished(const pondrel::DraftCommit::Summary &summary);

private:
    struct Work
    {
        QString albumId;
        QVariantMap record;
    };

    void startAlbumPass();
    void startPictures();
    void sendPictures(const QHash<QString, QSet<QString>> &alreadyThere);
    void albumLookedUp(
        const Work &work, const std::optional<QStringList> &named, const QString &error);
    void albumDone(const Work &work, const std::optional<QString> &createdId, const QString &error);
    void claimedByNamesake(const Work &work, const QString &serviceId);
    void pictureDone(const Work &work, bool sent, const QString &error);
    void refused(const Work &work, const QString &error);
    void finish();

    std::unique_ptr<oruNetwork> takeClient();
    void returnClient(std::unique_ptr<oruNetwork> client);
    // Runs call with a client of its own on a worker, then done on this object's thread with
    // what it gave and, when it gave nothing, the client's error.
    template <typename Result>
    void onWorker(std::function<std::optional<Result>(oruNetwork &)> call,
        std::function<void(const std::optional<Result> &, const QString &)> done);

    DraftStore &m_store;
    ClientFactory m_clientFactory;
    std::function<void()> m_waitUntilSaved;
    QThreadPool m_pool;
    std::mutex m_clientsMutex;
    std::vector<std::unique_ptr<oruNetwork>> m_idleClients;

    bool m_running = false;
    bool m_resumed = false;
    int m_itemCount = 0;
    int m_itemsDone = 0;
    int m_outstanding = 0;
    QSet<QString> m_albumsTried;
    Summary m_summary;
};

} // namespace pondrel
