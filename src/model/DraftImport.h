// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "model/DraftStore.h"

#include <QObject>
#include <QStringList>
#include <QThreadPool>

#include <atomic>
#include <optional>
#include <vector>

namespace pondrel {

// One import of picture files and folders into the drafts. Folders become trees of draft
// albums; accepted files become draft pictures in the album they are found in.
//
// The folders are walked on a worker thread; the draft pictures (metadata and thumbnail of
// each file) are made on a pool of as many threads as there are cores. The store is changed
// only on the thread this object lives on, through queued calls, and in the order of the
// files whatever order the workers finish in.
class DraftImport : public QObject
{
    Q_OBJECT

public:
    struct Request
    {
        QStringList paths;
        // Where the paths go ("" for the top level, where only folders are taken).
        QString albumId;
        quint32 permissions = 0;
    };

    struct Summary
    {
        int picturesAdded = 0;
        int albumsAdded = 0;
        bool stopped = false;
        // One line per file or folder that could not be imported, for the user.
        QStringList problems;
    };

    explicit DraftImport(DraftStore &store, QObject *parent = nullptr);
    ~DraftImport() override;

    // Starts the import unless one runs; false when one runs.
    bool start(const Request &request);
    // Ends the import before the next entry; what was made so far stays.
    void stop();
    bool isRunning() const { return m_running; }

signals:
    // The folders are walked: this many pictures are to be made. Zero means nothing acceptable
    // was found; finished() follows and the store is unchanged.
    void planned(int pictureCount);
    void progressed(int picturesDone, int pictureCount);
    void finished(const pondrel::DraftImport::Summary &summary);

private:
    struct Step
    {
        QString albumId;
        // An album's record is made while walking; a picture's once its file is read.
        std::optional<QVariantMap> record;
        QString path;
        bool isPicture = false;
        bool done = false;
    };
    struct Plan
    {
        std::vector<Step> steps;
        QStringList problems;
        int pictureCount = 0;
    };

    static Plan makePlan(const Request &request, const std::atomic_bool &stopping);
    void startPlan(Plan plan);
    void pictureMade(std::size_t index, std::optional<QVariantMap> record, const QString &problem);
    void deliverReadySteps();
    void finishIfDone();

    DraftStore &m_store;
    QThreadPool m_pool;
    std::atomic_bool m_stopping = false;
    bool m_running = false;
    quint32 m_permissions = 0;
    std::vector<Step> m_steps;
    std::size_t m_nextToDeliver = 0;
    std::size_t m_outstanding = 0;
    int m_picturesDone = 0;
    int m_pictureCount = 0;
    Summary m_summary;
};

} // namespace pondrel
