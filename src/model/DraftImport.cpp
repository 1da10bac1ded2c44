// SPDX-License-Identifier: GPL-2.0-or-later
#include "model/DraftImport.h"

#include "model/AcceptedPictureFiles.h"
#include "model/oruItem.h"
#include "support/AliasFiles.h"
#include "support/oruLog.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

namespace pondrel {

namespace {

// Walks folders depth first, in name order, keeping the folders on the way down so that a
// symbolic link that leads back up ends the descent instead of looping for ever.
class FolderWalker
{
public:
    FolderWalker(std::vector<QString> &problems, const std::atomic_bool &stopping)
        : m_problems(problems)
        , m_stopping(stopping)
    { }

    template<typename OnAlbum, typename OnFile>
    void walk(const QString &folder, const QString &parentId, OnAlbum onAlbum, OnFile onFile)
    {
        const QString canonical = QFileInfo(folder).canonicalFilePath();
        if (m_onTheWay.contains(canonical)) {
            m_problems.push_back(QObject::tr("%1 leads back into a folder being imported and was "
                                             "skipped.")
                                     .arg(folder));
            return;
        }
        const QString albumId = onAlbum(QFileInfo(folder).fileName(), parentId);
        const QDir directory(folder);
        if (!directory.isReadable()) {
            m_problems.push_back(QObject::tr("The folder %1 could not be read.").arg(folder));
            return;
        }
        m_onTheWay.insert(canonical);
        const QFileInfoList entries = directory.entryInfoList(
            QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System, QDir::Name | QDir::IgnoreCase);
        for (const QFileInfo &entry : entries) {
            if (m_stopping)
                break;
            if (entry.isDir())
                walk(entry.filePath(), albumId, onAlbum, onFile);
            else
                onFile(entry.filePath(), albumId);
        }
        m_onTheWay.remove(canonical);
    }

private:
    std::vector<QString> &m_problems;
    const std::atomic_bool &m_stopping;
    QSet<QString> m_onTheWay;
};

QString recordId(const QVariantMap &record)
{
    return record.value(DraftStore::kIdentifierKey).toString();
}

} // namespace

DraftImport::DraftImport(DraftStore &store, QObject *parent)
    : QObject(parent)
    , m_store(store)
{
    m_pool.setMaxThreadCount(QThread::idealThreadCount());
}

DraftImport::~DraftImport()
{
    m_stopping = true;
    m_pool.waitForDone();
}

bool DraftImport::start(const Request &request)
{
    if (m_running)
        return false;
    m_running = true;
    m_stopping = false;
    m_permissions = request.permissions;
    m_summary = {};
    m_pool.start([this, request] {
        Plan plan = makePlan(request, m_stopping);
        QMetaObject::invokeMethod(
            this, [this, plan = std::move(plan)]() mutable { startPlan(std::move(plan)); },
            Qt::QueuedConnection);
    });
    return true;
}

void DraftImport::stop()
{
    m_stopping = true;
}

DraftImport::Plan DraftImport::makePlan(const Request &request, const std::atomic_bool &stopping)
{
    Plan plan;
    std::vector<QString> problems;
    FolderWalker walker(problems, stopping);
    const auto addAlbum = [&plan](const QString &name, const QString &parentId) {
        oruItem album = oruItem::initWithEmptyAlbum();
        album.setName(name);
        const QVariantMap record = album.asset();
        plan.steps.push_back(Step {parentId, record, {}, false, true});
        return recordId(record);
    };
    const auto addFile = [&plan](const QString &path, const QString &albumId) {
        if (!AcceptedPictureFiles::isValidFile(path))
            return;
        plan.steps.push_back(Step {albumId, std::nullopt, path, true, false});
        ++plan.pictureCount;
    };
    for (const QString &path : request.paths) {
        if (stopping)
            break;
        const QFileInfo file(path);
        if (file.isDir())
            walker.walk(path, request.albumId, addAlbum, addFile);
        else if (!request.albumId.isEmpty())
            addFile(path, request.albumId);
    }
    for (const QString &problem : problems)
        plan.problems.append(problem);
    return plan;
}

void DraftImport::startPlan(Plan plan)
{
    m_steps = std::move(plan.steps);
    m_summary.problems = plan.problems;
    m_pictureCount = plan.pictureCount;
    m_picturesDone = 0;
    m_nextToDeliver = 0;
    m_outstanding = 0;
    if (m_steps.empty()) {
        emit planned(0);
        finishIfDone();
        return;
    }
    emit planned(m_pictureCount);
    for (std::size_t index = 0; index < m_steps.size(); ++index) {
        if (!m_steps[index].isPicture)
            continue;
        ++m_outstanding;
        m_pool.start([this, index, path = m_steps[index].path, permissions = m_permissions] {
            if (m_stopping) {
                QMetaObject::invokeMethod(
                    this, [this, index] { pictureMade(index, std::nullopt, {}); },
                    Qt::QueuedConnection);
                return;
            }
            const oruItem item
                = oruItem::initWithFile(AliasFiles::resolveAliasFile(path), permissions);
            // A name the filter accepts does not make a picture: such files are reported, not
            // kept as drafts that could never be sent.
            std::optional<QVariantMap> record;
            QString problem;
            if (item.pixelsWidth() > 0 && item.pixelsHeight() > 0)
                record = item.asset();
            else
                problem = tr("%1 could not be read as a picture.").arg(path);
            QMetaObject::invokeMethod(
                this,
                [this, index, record = std::move(record), problem] {
                    pictureMade(index, record, problem);
                },
                Qt::QueuedConnection);
        });
    }
    deliverReadySteps();
    finishIfDone();
}

void DraftImport::pictureMade(
    std::size_t index, std::optional<QVariantMap> record, const QString &problem)
{
    --m_outstanding;
    Step &step = m_steps[index];
    step.done = !m_stopping || record.has_value();
    step.record = std::move(record);
    if (!problem.isEmpty())
        m_summary.problems.append(problem);
    if (step.done)
        emit progressed(++m_picturesDone, m_pictureCount);
    deliverReadySteps();
    finishIfDone();
}

void DraftImport::deliverReadySteps()
{
    while (m_nextToDeliver < m_steps.size() && m_steps[m_nextToDeliver].done) {
        const Step &step = m_steps[m_nextToDeliver++];
        if (!step.record)
            continue;
        m_store.append(step.albumId, *step.record);
        ++(step.isPicture ? m_summary.picturesAdded : m_summary.albumsAdded);
    }
}

void DraftImport::finishIfDone()
{
    if (m_outstanding > 0)
        return;
    // After a stop the import ends at the first file not made; what follows it goes.
    m_summary.stopped = m_stopping;
    m_steps.clear();
    m_running = false;
    emit finished(m_summary);
}

} // namespace pondrel
