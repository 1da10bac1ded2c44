// SPDX-License-Identifier: GPL-2.0-or-later
#include "tool/ToolCommand.h"

#include "support/Paths.h"
#include "support/Preferences.h"
#include "support/PropertyList.h"

#include <QDir>

#include <optional>

namespace pondrel {

namespace {

const QString kUsage = QStringLiteral(
    "Usage:\n"
    "  pondrel-tool defaults read [DOMAIN [KEY]]\n"
    "  pondrel-tool defaults write DOMAIN KEY [-string|-bool|-int|-float] VALUE\n"
    "  pondrel-tool defaults delete DOMAIN [KEY]\n\n"
    "Reads and edits the preferences domains (com.trevane.pondrel, loginwindow, ...).\n"
    "'read' prints the value, the domain, or every domain as an XML property list.\n"
    "Example: pondrel-tool defaults write com.trevane.pondrel Debug -bool true\n");

int printAsPropertyList(const QVariant &value)
{
    QString error;
    const std::optional<QByteArray> xml = PropertyList::toXml(value, &error);
    if (!xml) {
        ToolOutput::err(error);
        return ToolCommand::kFailure;
    }
    ToolOutput::out(QString::fromUtf8(*xml));
    return ToolCommand::kSuccess;
}

QStringList existingDomains()
{
    QStringList domains;
    const QDir folder(Paths::preferencesFolder());
    for (const QString &file : folder.entryList({QStringLiteral("*.plist")}, QDir::Files))
        domains.append(file.chopped(int(qstrlen(".plist"))));
    return domains;
}

int readDefaults(const ToolCommand &self, const QStringList &arguments)
{
    if (arguments.size() > 2)
        return self.badUsage(QStringLiteral("read takes at most a domain and a key"));
    if (arguments.isEmpty()) {
        QVariantMap everything;
        for (const QString &domain : existingDomains())
            everything.insert(domain, Preferences(domain).all());
        return printAsPropertyList(everything);
    }
    const Preferences domain(arguments.at(0));
    if (!QFile::exists(domain.filePath())) {
        ToolOutput::err(QStringLiteral("Domain %1 does not exist").arg(domain.domain()));
        return ToolCommand::kFailure;
    }
    if (arguments.size() == 1)
        return printAsPropertyList(domain.all());
    const QString key = arguments.at(1);
    if (!domain.contains(key)) {
        ToolOutput::err(QStringLiteral("The domain/default pair of (%1, %2) does not exist")
                            .arg(domain.domain(), key));
        return ToolCommand::kFailure;
    }
    return printAsPropertyList(domain.value(key));
}

std::optional<QVariant> typedValue(const QString &type, const QString &text)
{
    if (type == QStringLiteral("-string"))
        return text;
    if (type == QStringLiteral("-bool")) {
        const QString lower = text.toLower();
        if (lower == QStringLiteral("true") || lower == QStringLiteral("yes")
            || lower == QStringLiteral("1"))
            return true;
        if (lower == QStringLiteral("false") || lower == QStringLiteral("no")
            || lower == QStringLiteral("0"))
            return false;
        return std::nullopt;
    }
    bool ok = false;
    if (type == QStringLiteral("-int")) {
        const qint64 number = text.toLongLong(&ok);
        return ok ? std::optional<QVariant>(number) : std::nullopt;
    }
    if (type == QStringLiteral("-float")) {
        const double number = text.toDouble(&ok);
        return ok ? std::optional<QVariant>(number) : std::nullopt;
    }
    return std::nullopt;
}

int writeDefaults(const ToolCommand &self, const QStringList &arguments)
{
    if (arguments.size() != 3 && arguments.size() != 4)
        return self.badUsage(QStringLiteral("write needs a domain, a key and a value"));
    const QString type = arguments.size() == 4 ? arguments.at(2) : QStringLiteral("-string");
    const std::optional<QVariant> value = typedValue(type, arguments.last());
    if (!value)
        return self.badUsage(
            QStringLiteral("'%1' is not a valid %2 value").arg(arguments.last(), type.mid(1)));
    Preferences domain(arguments.at(0));
    if (!domain.setValue(arguments.at(1), *value)) {
        ToolOutput::err(QStringLiteral("Could not write %1").arg(domain.filePath()));
        return ToolCommand::kFailure;
    }
    return ToolCommand::kSuccess;
}

int deleteDefaults(const ToolCommand &self, const QStringList &arguments)
{
    if (arguments.isEmpty() || arguments.size() > 2)
        return self.badUsage(QStringLiteral("delete needs a domain and at most one key"));
    Preferences domain(arguments.at(0));
    if (!QFile::exists(domain.filePath())) {
        ToolOutput::err(QStringLiteral("Domain %1 does not exist").arg(domain.domain()));
        return ToolCommand::kFailure;
    }
    if (arguments.size() == 1)
        return QFile::remove(domain.filePath()) ? ToolCommand::kSuccess : ToolCommand::kFailure;
    if (!domain.contains(arguments.at(1))) {
        ToolOutput::err(QStringLiteral("The domain/default pair of (%1, %2) does not exist")
                            .arg(domain.domain(), arguments.at(1)));
        return ToolCommand::kFailure;
    }
    return domain.remove(arguments.at(1)) ? ToolCommand::kSuccess : ToolCommand::kFailure;
}

int runDefaults(const ToolCommand &self, const QStringList &arguments)
{
    if (arguments.isEmpty())
        return self.badUsage(QStringLiteral("missing action (read, write or delete)"));
    const QString action = arguments.first();
    const QStringList rest = arguments.mid(1);
    if (action == QStringLiteral("read"))
        return readDefaults(self, rest);
    if (action == QStringLiteral("write"))
        return writeDefaults(self, rest);
    if (action == QStringLiteral("delete"))
        return deleteDefaults(self, rest);
    return self.badUsage(QStringLiteral("unknown action '%1'").arg(action));
}

const ToolCommandRegistration registration {ToolCommand {QStringLiteral("defaults"),
    QStringLiteral("read, write and delete preferences"), kUsage, runDefaults}};

} // namespace

} // namespace pondrel
