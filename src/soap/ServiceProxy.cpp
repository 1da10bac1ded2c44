// SPDX-License-Identifier: GPL-2.0-or-later
#include "soap/ServiceProxy.h"

#include "soap/SoapReply.h"
#include "support/Preferences.h"

namespace pondrel {

namespace {

QVariant asKind(ParameterKind kind, const QVariant &argument)
{
    switch (kind) {
    case ParameterKind::Boolean:
        return QVariant(argument.toBool());
    case ParameterKind::Integer:
        return QVariant(qint32(argument.toInt()));
    case ParameterKind::UnsignedInteger:
        return QVariant(quint32(argument.toUInt()));
    case ParameterKind::LongInteger:
        return QVariant(qint64(argument.toLongLong()));
    case ParameterKind::ServiceKey:
    case ParameterKind::Value:
        break;
    }
    return argument;
}

QString describeValue(const QVariant &value)
{
    if (value.typeId() == QMetaType::QVariantList) {
        QStringList elements;
        for (const QVariant &element : value.toList())
            elements.append(describeValue(element));
        return QStringLiteral("(%1)").arg(elements.join(QStringLiteral(", ")));
    }
    if (value.typeId() == QMetaType::QVariantMap) {
        const QVariantMap dictionary = value.toMap();
        QStringList entries;
        for (auto entry = dictionary.cbegin(); entry != dictionary.cend(); ++entry)
            entries.append(
                QStringLiteral("%1 = %2").arg(entry.key(), describeValue(entry.value())));
        return QStringLiteral("{%1}").arg(entries.join(QStringLiteral("; ")));
    }
    return value.toString();
}

} // namespace

QString parameterKindName(ParameterKind kind)
{
    switch (kind) {
    case ParameterKind::ServiceKey:
        return QStringLiteral("service key");
    case ParameterKind::Value:
        return QStringLiteral("value");
    case ParameterKind::Boolean:
        return QStringLiteral("boolean");
    case ParameterKind::Integer:
        return QStringLiteral("integer");
    case ParameterKind::UnsignedInteger:
        return QStringLiteral("unsigned integer");
    case ParameterKind::LongInteger:
        return QStringLiteral("long integer");
    }
    return {};
}

ServiceProxy::ServiceProxy(
    const QString &servicePath, const std::vector<ServiceOperation> &operations)
    : m_operations(operations)
{
    QString base = ServiceSettings::baseUrl();
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    m_endpointURL = base + QStringLiteral("/Pondrel/") + servicePath + QStringLiteral(".asmx");
    m_methodNamespace
        = ServiceSettings::namespaceBase() + QStringLiteral("/Pondrel/") + servicePath;
    m_serviceKeyElement = ServiceSettings::serviceKeyElement();
}

QString ServiceProxy::soapAction(const QString &operation) const
{
    return m_methodNamespace + QLatin1Char('/') + operation;
}

const ServiceOperation *ServiceProxy::findOperation(
    const std::vector<ServiceOperation> &operations, const QString &name)
{
    for (const ServiceOperation &operation : operations) {
        if (operation.name == name)
            return &operation;
    }
    return nullptr;
}

QString ServiceProxy::elementName(const OperationParameter &parameter) const
{
    return parameter.kind == ParameterKind::ServiceKey ? m_serviceKeyElement : parameter.name;
}

QVariantMap ServiceProxy::call(const QString &operationName, const QVariantList &arguments)
{
    const ServiceOperation *operation = findOperation(m_operations, operationName);
    if (!operation)
        return {{SoapReply::kErrorKey,
            QStringLiteral("Unknown operation %1 of %2").arg(operationName, m_endpointURL)}};
    QVariantList values;
    QStringList names;
    for (qsizetype index = 0; index < operation->parameters.size(); ++index) {
        if (index >= arguments.size() || !arguments.at(index).isValid())
            break;
        const OperationParameter &parameter = operation->parameters.at(index);
        values.append(asKind(parameter.kind, arguments.at(index)));
        names.append(elementName(parameter));
    }
    announce(*operation, values, names);
    return soapCall(m_endpointURL, operation->name, soapAction(operation->name), m_methodNamespace,
        values, names);
}

void ServiceProxy::announce(const ServiceOperation &, const QVariantList &, const QStringList &) { }

QString ServiceProxy::describeForLog(const QVariantList &values, const QStringList &names)
{
    QStringList described;
    for (qsizetype index = 0; index < values.size(); ++index) {
        const bool secret = index < names.size()
            && names.at(index).contains(QStringLiteral("password"), Qt::CaseInsensitive);
        described.append(secret ? QStringLiteral("********") : describeValue(values.at(index)));
    }
    return QStringLiteral("(%1)").arg(described.join(QStringLiteral(", ")));
}

} // namespace pondrel
