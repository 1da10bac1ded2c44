// SPDX-License-Identifier: GPL-2.0-or-later
#include "tool/ToolCommand.h"

#include "soap/CollectionServices.h"
#include "soap/PublishingServices.h"
#include "soap/SoapReply.h"
#include "support/JsonText.h"
#include "support/Preferences.h"

#include <memory>
#include <optional>

namespace pondrel {

namespace {

const QString kCollection = QStringLiteral("collection");
const QString kPublishing = QStringLiteral("publishing");

QString operationList(const QString &service, const std::vector<ServiceOperation> &operations)
{
    QString text = QStringLiteral("\n%1 operations:\n").arg(service);
    for (const ServiceOperation &operation : operations) {
        QStringList parameters;
        for (const OperationParameter &parameter : operation.parameters) {
            if (parameter.kind == ParameterKind::ServiceKey)
                parameters.append(QStringLiteral("[%1]").arg(parameter.name));
            else if (parameter.kind == ParameterKind::Value)
                parameters.append(parameter.name);
            else
                parameters.append(
                    QStringLiteral("%1:%2").arg(parameter.name, parameterKindName(parameter.kind)));
        }
        text += QStringLiteral("  %1 %2\n").arg(operation.name, parameters.join(QLatin1Char(' ')));
    }
    return text;
}

QString usageText()
{
    return QStringLiteral(
               "Usage: pondrel-tool call collection|publishing OPERATION [NAME=VALUE ...]\n\n"
               "Calls one operation of the service named by the deployment settings and prints "
               "the reply as JSON.\nThe service key [serviceKey] is filled in; pass the session "
               "as sessionIdentifier=... .\nParameters go in the operation's order and end at the "
               "first one not given.\nBooleans take true, false, 1 or 0. Exit status 0 when the "
               "reply has no \"error\", 1 when it\nhas.\n")
        + operationList(kCollection, CollectionServices::catalogue())
        + operationList(kPublishing, PublishingServices::catalogue());
}

std::optional<QVariant> valueOfKind(ParameterKind kind, const QString &text)
{
    bool ok = false;
    switch (kind) {
    case ParameterKind::ServiceKey:
    case ParameterKind::Value:
        return QVariant(text);
    case ParameterKind::Boolean: {
        const QString lower = text.toLower();
        if (lower == QStringLiteral("true") || lower == QStringLiteral("1"))
            return QVariant(true);
        if (lower == QStringLiteral("false") || lower == QStringLiteral("0"))
            return QVariant(false);
        return std::nullopt;
    }
    case ParameterKind::Integer: {
        const qint32 number = text.toInt(&ok);
        return ok ? std::optional<QVariant>(QVariant(number)) : std::nullopt;
    }
    case ParameterKind::UnsignedInteger: {
        const quint32 number = text.toUInt(&ok);
        return ok ? std::optional<QVariant>(QVariant(number)) : std::nullopt;
    }
    case ParameterKind::LongInteger: {
        const qint64 number = text.toLongLong(&ok);
        return ok ? std::optional<QVariant>(QVariant(number)) : std::nullopt;
    }
    }
    return std::nullopt;
}

std::unique_ptr<ServiceProxy> proxyFor(const QString &service)
{
    if (service == kCollection)
        return std::make_unique<CollectionServices>();
    return std::make_unique<PublishingServices>();
}

// The arguments in parameter order, from NAME=VALUE words; none (after complaining) when a word
// names no parameter, a value does not fit its kind, or a gap would silently drop a parameter.
std::optional<QVariantList> argumentsFor(
    const ServiceOperation &operation, const QStringList &words, QString &complaint)
{
    QVariantList arguments(operation.parameters.size());
    for (const QString &word : words) {
        const qsizetype equals = word.indexOf(QLatin1Char('='));
        const QString name = word.left(equals);
        qsizetype index = 0;
        while (index < operation.parameters.size() && operation.parameters.at(index).name != name)
            ++index;
        if (equals <= 0 || index == operation.parameters.size()) {
            complaint = QStringLiteral("%1 has no parameter '%2'").arg(operation.name, name);
            return std::nullopt;
        }
        const OperationParameter &parameter = operation.parameters.at(index);
        const std::optional<QVariant> value = valueOfKind(parameter.kind, word.mid(equals + 1));
        if (!value) {
            complaint = QStringLiteral("'%1' is not a valid %2 for %3")
                            .arg(word.mid(equals + 1), parameterKindName(parameter.kind), name);
            return std::nullopt;
        }
        arguments[index] = *value;
    }
    for (qsizetype index = 0; index < operation.parameters.size(); ++index) {
        if (operation.parameters.at(index).kind == ParameterKind::ServiceKey
            && !arguments.at(index).isValid())
            arguments[index] = ServiceSettings::serviceKey();
    }
    qsizetype given = 0;
    while (given < arguments.size() && arguments.at(given).isValid())
        ++given;
    for (qsizetype index = given; index < arguments.size(); ++index) {
        if (arguments.at(index).isValid()) {
            complaint = QStringLiteral("%1 is given but %2 before it is not: the parameters end at "
                                       "the first one missing")
                            .arg(operation.parameters.at(index).name,
                                operation.parameters.at(given).name);
            return std::nullopt;
        }
    }
    arguments.resize(given);
    return arguments;
}

int runCall(const ToolCommand &self, const QStringList &words)
{
    if (words.size() < 2)
        return self.badUsage(QStringLiteral("a service and an operation are needed"));
    const QString service = words.at(0);
    if (service != kCollection && service != kPublishing)
        return self.badUsage(QStringLiteral("unknown service '%1'").arg(service));
    const std::vector<ServiceOperation> &catalogue = service == kCollection
        ? CollectionServices::catalogue()
        : PublishingServices::catalogue();
    const ServiceOperation *operation = ServiceProxy::findOperation(catalogue, words.at(1));
    if (!operation)
        return self.badUsage(
            QStringLiteral("the %1 service has no operation '%2'").arg(service, words.at(1)));
    QString complaint;
    const std::optional<QVariantList> arguments = argumentsFor(*operation, words.mid(2), complaint);
    if (!arguments)
        return self.badUsage(complaint);

    const QVariantMap reply = proxyFor(service)->call(operation->name, *arguments);
    JsonText::writeIndented(reply, ToolOutput::write);
    return reply.contains(SoapReply::kErrorKey) ? ToolCommand::kFailure : ToolCommand::kSuccess;
}

const ToolCommandRegistration registration {ToolCommand {QStringLiteral("call"),
    QStringLiteral("call one service operation and print the reply"), usageText(), runCall}};

} // namespace

} // namespace pondrel
