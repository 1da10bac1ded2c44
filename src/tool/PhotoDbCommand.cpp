// SPDX-License-Identifier: GPL-2.0-or-later
#include "tool/ToolCommand.h"

#include "client/oruNetwork_photoDB.h"

#include <QDateTime>

#include <optional>

namespace pondrel {

namespace {

const QString kUsage
    = QStringLiteral("Usage:\n"
                     "  pondrel-tool photodb list\n"
                     "  pondrel-tool photodb lookup MONIKER\n"
                     "  pondrel-tool photodb vacuum\n"
                     "  pondrel-tool photodb export FILE\n\n"
                     "Inspects the local photo database (moniker -> picture file).\n"
                     "'list' prints one line per record: MONIKER<TAB>PATH<TAB>HASH<TAB>DATE.\n"
                     "'lookup' prints the record of one moniker as PATH, HASH and DATE lines.\n"
                     "'vacuum' drops records whose file has been gone for more than 90 days.\n"
                     "'export' writes the whole table as the XML property list older versions\n"
                     "kept (Pondrel_DB.plist): moniker -> {PATH, HASH, DATE}.\n"
                     "Exit status 1 when there is no database or nothing was found.\n");

QString dateText(const QVariant &date)
{
    return date.metaType() == QMetaType::fromType<QDateTime>()
        ? date.toDateTime().toUTC().toString(Qt::ISODate)
        : QString();
}

int listPhotos()
{
    const std::optional<QVariantMap> records = oruNetworkPhotoDB::allPhotosInDB();
    if (!records || records->isEmpty()) {
        ToolOutput::err(QStringLiteral("No records in %1").arg(oruNetworkPhotoDB::photoDBName()));
        return ToolCommand::kFailure;
    }
    for (auto it = records->cbegin(); it != records->cend(); ++it) {
        const QVariantMap record = it.value().toMap();
        ToolOutput::out(QStringLiteral("%1\t%2\t%3\t%4")
                            .arg(it.key(), record.value(oruNetworkPhotoDB::kPathKey).toString(),
                                record.value(oruNetworkPhotoDB::kHashKey).toString(),
                                dateText(record.value(oruNetworkPhotoDB::kDateKey))));
    }
    return ToolCommand::kSuccess;
}

int lookupPhoto(const QString &moniker)
{
    const std::optional<QVariantMap> record = oruNetworkPhotoDB::getPhotoFromDB(moniker);
    if (!record) {
        ToolOutput::err(QStringLiteral("%1 is not in the photo database").arg(moniker));
        return ToolCommand::kFailure;
    }
    ToolOutput::out(QStringLiteral("PATH %1\nHASH %2\nDATE %3")
                        .arg(record->value(oruNetworkPhotoDB::kPathKey).toString(),
                            record->value(oruNetworkPhotoDB::kHashKey).toString(),
                            dateText(record->value(oruNetworkPhotoDB::kDateKey))));
    return ToolCommand::kSuccess;
}

int vacuum()
{
    const qsizetype before = oruNetworkPhotoDB::allPhotosInDB().value_or(QVariantMap()).size();
    if (oruNetworkPhotoDB::vacuumDB() != 0) {
        ToolOutput::err(
            QStringLiteral("No readable database at %1").arg(oruNetworkPhotoDB::photoDBName()));
        return ToolCommand::kFailure;
    }
    const qsizetype after = oruNetworkPhotoDB::allPhotosInDB().value_or(QVariantMap()).size();
    ToolOutput::out(QStringLiteral("%1 records kept, %2 removed").arg(after).arg(before - after));
    return ToolCommand::kSuccess;
}

int exportPhotos(const QString &target)
{
    QString errorMsg;
    if (!oruNetworkPhotoDB::exportPhotoDB(target, &errorMsg)) {
        ToolOutput::err(errorMsg);
        return ToolCommand::kFailure;
    }
    return ToolCommand::kSuccess;
}

int runPhotoDb(const ToolCommand &self, const QStringList &arguments)
{
    if (arguments.isEmpty())
        return self.badUsage(QStringLiteral("missing action (list, lookup, vacuum or export)"));
    const QString &action = arguments.first();
    if (action == QStringLiteral("list") && arguments.size() == 1)
        return listPhotos();
    if (action == QStringLiteral("lookup") && arguments.size() == 2)
        return lookupPhoto(arguments.at(1));
    if (action == QStringLiteral("vacuum") && arguments.size() == 1)
        return vacuum();
    if (action == QStringLiteral("export") && arguments.size() == 2)
        return exportPhotos(arguments.at(1));
    return self.badUsage(QStringLiteral("unknown action or wrong number of arguments"));
}

const ToolCommandRegistration registration {ToolCommand {QStringLiteral("photodb"),
    QStringLiteral("list, look up, vacuum and export the local photo database"), kUsage,
    runPhotoDb}};

} // namespace

} // namespace pondrel
