// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <pugixml.hpp>

#include <memory>
#include <optional>

namespace pondrel::refservice {

// A SOAP 1.1 request body: the operation is the body's first element, its parameters are its
// child elements found by local name whatever their order or prefix.
class SoapRequest
{
public:
    // Nothing when the body is not a SOAP envelope with an operation; errorMsg says why.
    static std::optional<SoapRequest> parse(const QByteArray &body, QString &errorMsg);

    QString operation() const { return m_operation; }
    QString operationNamespace() const { return m_namespace; }

    bool has(const QString &name) const;
    // The parameter's text; throws ServiceFault when it is missing.
    QString text(const QString &name) const;
    QString textOr(const QString &name, const QString &fallback) const;
    qint64 integer(const QString &name) const;
    bool boolean(const QString &name, bool fallback) const;
    // The parameter element itself (empty node when missing), for structured parameters.
    pugi::xml_node node(const QString &name) const;

    static QString localName(const pugi::xml_node &node);

private:
    std::shared_ptr<pugi::xml_document> m_document;
    pugi::xml_node m_operationNode;
    QString m_operation;
    QString m_namespace;
};

} // namespace pondrel::refservice
