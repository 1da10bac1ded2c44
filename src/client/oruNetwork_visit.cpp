// SPDX-License-Identifier: GPL-2.0-or-later
#include "client/oruCommandStatus.h"
#include "client/oruNetwork.h"
#include "soap/SoapReply.h"

#include "imaging/Picture.h"
#include "client/oruNetwork_render.h"
#include "support/Paths.h"
#include "support/PropertyList.h"
#include "support/Values.h"
#include "support/oruLog.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

#include <limits>

namespace pondrel {

namespace {

const QString kRenderPicture = QStringLiteral("RenderPicture");
const QString kReplaysFileName = QStringLiteral("Pondrel_Batch_Replays.plist");
const QString kReceivedKey = QStringLiteral("Received");
const QString kAbortedRunsKey = QStringLiteral("AbortedRuns");

QString tr(const char *text)
{
    return QCoreApplication::translate("oruNetwork", text);
}

// Why every RenderPicture command of a batch fails without being rendered.
struct BatchFailure
{
    QString errorCode;
    QString description;
};

// The property-list form of a received batch: an empty element of the reply (the null
// marker) has no property-list form and would keep the whole list from being saved.
QVariant withoutNullMarkers(const QVariant &value)
{
    if (Values::isNullMarker(value))
        return QStringLiteral("");
    if (value.typeId() == QMetaType::QVariantList) {
        QVariantList list;
        for (const QVariant &item : value.toList())
            list.append(withoutNullMarkers(item));
        return list;
    }
    if (value.typeId() == QMetaType::QVariantMap) {
        QVariantMap map = value.toMap();
        for (auto item = map.begin(); item != map.end(); ++item)
            *item = withoutNullMarkers(*item);
        return map;
    }
    return value;
}

QVariantList parsedBatches(const QVariant &received)
{
    QVariantList batches;
    for (const QVariant &batch : Values::asList(received)) {
        QVariantMap record = batch.toMap();
        const QVariant commands = record.value(QStringLiteral("Commands"));
        record.insert(QStringLiteral("Commands"),
            oruNetwork::parseCommands(
                commands.typeId() == QMetaType::QString ? commands.toString() : QString()));
        batches.append(withoutNullMarkers(record));
    }
    return batches;
}

void moveAsideCorrupt(const QString &path)
{
    const QString aside = path + QStringLiteral(".corrupt");
    QFile::remove(aside);
    if (QFile::rename(path, aside)) {
        ORU_FATAL(QStringLiteral("Unreadable saved command batches moved to %1").arg(aside));
        return;
    }
    QFile::remove(path);
    ORU_FATAL(QStringLiteral("Unreadable saved command batches %1 removed").arg(path));
}

int renderCommandCount(const QVariantList &batches)
{
    int count = 0;
    for (const QVariant &batch : batches) {
        for (const QVariant &command : batch.toMap().value(QStringLiteral("Commands")).toList())
            count += command.toMap().value(QStringLiteral("type")).toString() == kRenderPicture;
    }
    return count;
}

// The checks before anything is rendered: the picture is known, on disk, unchanged and a
// picture. Nothing when it is usable; `image` then holds it, decoded once for every command.
std::optional<BatchFailure> checkPicture(const QString &moniker, const QString &hash,
    const QVariantList &commands, std::optional<Picture> &image)
{
    const std::optional<QVariantMap> photo = oruNetwork::getPhotoFromDB(moniker);
    if (!photo) {
        oruLog::add2csv(QStringLiteral("not in db,%1").arg(moniker));
        return BatchFailure {oruNetwork::kErrorNotInPhotoDB, QStringLiteral("")};
    }
    const QString path = photo->value(QStringLiteral("PATH")).toString();
    oruLog::add2csv(QStringLiteral("request,%1,%2").arg(moniker, path));
    ORU_LOG(QStringLiteral("image: %1").arg(path));
    if (!QFileInfo(path).isFile()) {
        ORU_LOG(QStringLiteral("File %1 was not found on the local disk").arg(path));
        oruLog::add2csv(QStringLiteral("not on disk,%1,%2").arg(moniker, path));
        return BatchFailure {oruNetwork::kErrorFileNotOnDisk,
            QStringLiteral("The picture file %1 is not on the local disk").arg(path)};
    }
    if (!oruNetwork::checkHashIsSame(path, hash)) {
        ORU_LOG(QStringLiteral("checkHashIsSame:%1 is FALSE").arg(path));
        return BatchFailure {oruNetwork::kErrorHashDiffers, QStringLiteral("")};
    }
    QString errorMsg;
    image = decodePictureForCommands(path, commands, errorMsg);
    if (!image) {
        ORU_LOG(QStringLiteral("Image at %1 is not valid").arg(path));
        oruLog::add2csv(QStringLiteral("not valid image,%1,%2").arg(moniker, path));
        return BatchFailure {oruNetwork::kErrorNotValidImage,
            QStringLiteral("%1 is not a valid image: %2").arg(path, errorMsg)};
    }
    return std::nullopt;
}

} // namespace

QString oruNetwork::savedBatchFilename()
{
    return QStringLiteral("%1/%2").arg(Paths::applicationSupportFolder(), kSavedBatchFileName);
}

QString oruNetwork::savedBatchReplaysFilename()
{
    return QStringLiteral("%1/%2").arg(Paths::applicationSupportFolder(), kReplaysFileName);
}

void oruNetwork::saveCommandBatch(
    const QVariantList &batches, const QDateTime &received, int abortedRuns)
{
    m_batchReceived = received;
    m_batchAbortedRuns = abortedRuns;
    Paths::ensureFolder(Paths::applicationSupportFolder());
    if (!PropertyList::saveToPList(batches, savedBatchFilename()))
        ORU_FATAL(QStringLiteral("The command batches could not be saved to %1")
                      .arg(savedBatchFilename()));
    const QVariantMap replays = {{kReceivedKey, received}, {kAbortedRunsKey, qint64(abortedRuns)}};
    if (!PropertyList::saveToPList(replays, savedBatchReplaysFilename()))
        ORU_FATAL(QStringLiteral("The replays of the command batches could not be saved to %1")
                      .arg(savedBatchReplaysFilename()));
}

void oruNetwork::removeSavedCommandBatch()
{
    QFile::remove(savedBatchFilename());
    QFile::remove(savedBatchReplaysFilename());
}

void oruNetwork::giveUpCommandBatches(const QVariantList &batches, const QString &why)
{
    ORU_FATAL(QStringLiteral("Command batches given up: %1").arg(why));
    oruLog::add2csv(QStringLiteral("given up,%1").arg(why));
    for (const QVariant &batchValue : batches) {
        const QVariantMap batch = batchValue.toMap();
        QVariantList commandEntries;
        for (const QVariant &command : batch.value(QStringLiteral("Commands")).toList()) {
            if (command.toMap().value(QStringLiteral("type")).toString() != kRenderPicture)
                continue;
            commandEntries.append(oruCommandStatus::entry(oruCommandStatus::failed(
                command.toMap().value(QStringLiteral("id")).toString(), kErrorGivenUp, why)));
        }
        m_previousCommandBatchesStatuses.append(oruCommandStatus::batchEntry(
            commandEntries, batch.value(QStringLiteral("UniqueIdentifier")).toString()));
    }
}

std::optional<QVariantList> oruNetwork::savedCommandBatch()
{
    const QString path = savedBatchFilename();
    if (!QFileInfo::exists(path))
        return std::nullopt;
    const std::optional<QVariant> saved = PropertyList::initFromPlist(path);
    if (!saved || saved->typeId() != QMetaType::QVariantList) {
        moveAsideCorrupt(path);
        QFile::remove(savedBatchReplaysFilename());
        return std::nullopt;
    }
    // An empty list would never be processed, and so never removed: every later visit would
    // stop here.
    if (saved->toList().isEmpty()) {
        removeSavedCommandBatch();
        return std::nullopt;
    }
    // Without its bookkeeping (written by an older Agent, or lost) the batch counts as new.
    const QVariantMap replays
        = PropertyList::dictionaryFromPlist(savedBatchReplaysFilename()).value_or(QVariantMap());
    const QDateTime received = replays.value(kReceivedKey).toDateTime();
    m_batchReceived = received.isValid() ? received : QDateTime::currentDateTimeUtc();
    m_batchAbortedRuns = int(std::clamp<qint64>(
        replays.value(kAbortedRunsKey).toLongLong(), 0, std::numeric_limits<int>::max()));
    // An upload host that never answers would otherwise hold every later visit here.
    const qint64 age = m_batchReceived.secsTo(QDateTime::currentDateTimeUtc());
    if (m_batchAbortedRuns > kMaxBatchReplays || age > kBatchLifetimeSeconds) {
        giveUpCommandBatches(saved->toList(),
            tr("No upload got an answer in %1 runs over %2 hours")
                .arg(m_batchAbortedRuns)
                .arg(age / 3600));
        removeSavedCommandBatch();
        return std::nullopt;
    }
    return saved->toList();
}

bool oruNetwork::visit()
{
    const std::optional<QString> emailHash
        = md5(m_emailAddress.isNull() ? QStringLiteral("") : m_emailAddress);
    const QVariantList accounts
        = {QVariantMap {{QStringLiteral("string"), emailHash.value_or(QString())}}};
    if (visitTimer())
        visitTimer()->stop();

    if (const std::optional<QVariantList> saved = savedCommandBatch()) {
        ORU_LOG(QStringLiteral("Retrieved a CommandBatch from disk"));
        setCommandBatch(*saved);
        return true;
    }

    ORU_LOG(QStringLiteral("visit for emailaddress: %1").arg(m_emailAddress));
    const QVariantList reported = m_previousCommandBatchesStatuses;
    const QVariantMap reply = m_collectionServices->Visit(
        {m_serviceKey, QStringLiteral("{%1}").arg(m_computerIdentifier), accounts, reported});
    m_previousCommandBatchesStatuses.clear();

    const QVariantMap visitResult = reply.value(QStringLiteral("VisitResult")).toMap();
    if (visitResult.contains(QStringLiteral("CommandBatch"))) {
        ORU_LOG(QStringLiteral("Got a CommandBatch"));
        ORU_LOG(QStringLiteral("UniqueIdentifier: %1")
                    .arg(visitResult.value(QStringLiteral("UniqueIdentifier")).toString()));
        ORU_LOG(QStringLiteral("Moniker: %1")
                    .arg(visitResult.value(QStringLiteral("Moniker")).toString()));
        ORU_LOG(QStringLiteral("AssetID: %1")
                    .arg(visitResult.value(QStringLiteral("AssetInternalIdentifier")).toString()));
        setCommandBatch(parsedBatches(visitResult.value(QStringLiteral("CommandBatch"))));
        saveCommandBatch(m_commandBatch, QDateTime::currentDateTimeUtc(), 0);
    } else if (reply.contains(QStringLiteral("nextVisitIntervalMilliseconds"))) {
        const qint64 interval
            = reply.value(QStringLiteral("nextVisitIntervalMilliseconds")).toLongLong();
        scheduleNextVisit(qint32(std::clamp<qint64>(
            interval, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max())));
    }

    if (reply.contains(SoapReply::kErrorKey)) {
        setErrorMsg(reply.value(SoapReply::kErrorKey).toString());
        // The service did not take them: they go out again with the next visit.
        m_previousCommandBatchesStatuses = reported + m_previousCommandBatchesStatuses;
        return false;
    }
    m_failedVisits = 0;
    return true;
}

void oruNetwork::processCommandBatch()
{
    if (m_commandBatch.isEmpty())
        return;
    m_curlAbort = false;
    ORU_LOG(QStringLiteral("commandBatch has %1 objects (first While)").arg(m_commandBatch.size()));
    const qsizetype reportedBefore = m_previousCommandBatchesStatuses.size();
    const QVariantList batches = m_commandBatch;
    const int renderCount = renderCommandCount(m_commandBatch);
    int rendering = 0;

    for (const QVariant &batchValue : std::as_const(m_commandBatch)) {
        if (m_curlAbort)
            break;
        const QVariantMap batch = batchValue.toMap();
        const QVariantList commands = batch.value(QStringLiteral("Commands")).toList();
        const QString moniker = batch.value(QStringLiteral("Moniker")).toString();
        const QString batchId = batch.value(QStringLiteral("UniqueIdentifier")).toString();
        const QString hash = batch.value(QStringLiteral("Hash")).toString();
        QVariantList commandEntries;
        ORU_LOG(QStringLiteral("Built NSMutableArray"));

        std::optional<Picture> image;
        const std::optional<BatchFailure> failure = checkPicture(moniker, hash, commands, image);

        ORU_LOG(QStringLiteral("commands has %1 objects (Second While)").arg(commands.size()));
        for (const QVariant &commandValue : commands) {
            if (m_curlAbort)
                break;
            const QVariantMap command = commandValue.toMap();
            const QString type = command.value(QStringLiteral("type")).toString();
            if (type != kRenderPicture) {
                ORU_FATAL(QStringLiteral("Unrecognized type for command: %1").arg(type));
                continue;
            }
            const QString commandId = command.value(QStringLiteral("id")).toString();
            if (failure) {
                commandEntries.append(oruCommandStatus::entry(
                    oruCommandStatus::failed(commandId, failure->errorCode, failure->description)));
                ORU_LOG(QStringLiteral("File is not good"));
                continue;
            }
            ORU_LOG(QStringLiteral("RenderPicture with %1, %2")
                        .arg(command.value(QStringLiteral("width")).toString(),
                            command.value(QStringLiteral("height")).toString()));
            reportVisitProgress(tr("Rendering %1 of %2…").arg(++rendering).arg(renderCount));
            commandEntries.append(oruCommandStatus::entry(renderPictureCommand(command, *image)));
        }
        m_previousCommandBatchesStatuses.append(
            oruCommandStatus::batchEntry(commandEntries, batchId));
    }

    ORU_LOG(QStringLiteral("previousCommandBatchesStatuses; %1")
                .arg(QString::fromUtf8(QJsonDocument::fromVariant(m_previousCommandBatchesStatuses)
                                           .toJson(QJsonDocument::Compact))));
    m_commandBatch.clear();
    if (!m_curlAbort) {
        removeSavedCommandBatch();
        return;
    }
    // Nothing of this run is reported: the whole list runs again from the file.
    m_previousCommandBatchesStatuses.resize(reportedBefore);
    saveCommandBatch(batches,
        m_batchReceived.isValid() ? m_batchReceived : QDateTime::currentDateTimeUtc(),
        m_batchAbortedRuns + 1);
}

} // namespace pondrel
