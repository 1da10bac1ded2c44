// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "soap/ServiceOperation.h"
#include "soap/oruSoap.h"

#include <vector>

namespace pondrel {

// What both service proxies share: the endpoint and namespace taken from the deployment
// settings, and the one rule that turns an operation of the catalogue and its arguments into a
// call of the engine.
class ServiceProxy : public oruSoap
{
public:
    QString endpointURL() const { return m_endpointURL; }
    QString methodNamespace() const { return m_methodNamespace; }
    QString soapAction(const QString &operation) const;
    const std::vector<ServiceOperation> &operations() const { return m_operations; }

    static const ServiceOperation *findOperation(
        const std::vector<ServiceOperation> &operations, const QString &name);

    // Calls the named operation with the arguments in parameter order. Scalars are made numbers
    // of their declared kind; the list ends at the first missing (invalid) argument, dropping
    // that parameter and every one after it. An operation the catalogue does not know gives a
    // reply with only "error".
    QVariantMap call(const QString &operation, const QVariantList &arguments);

    // A value list for log lines, with every password parameter masked.
    static QString describeForLog(const QVariantList &values, const QStringList &names);

protected:
    ServiceProxy(const QString &servicePath, const std::vector<ServiceOperation> &operations);

    // Runs just before an operation's call, with what it sends.
    virtual void announce(
        const ServiceOperation &operation, const QVariantList &values, const QStringList &names);

private:
    QString elementName(const OperationParameter &parameter) const;

    const std::vector<ServiceOperation> &m_operations;
    QString m_endpointURL;
    QString m_methodNamespace;
    QString m_serviceKeyElement;
};

} // namespace pondrel
