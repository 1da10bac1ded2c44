// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <pugixml.hpp>

#include <optional>

namespace pondrel::refservice {

// Builds <XResponse xmlns="ns"><XResult>...</XResult>[output parameters]</XResponse> inside a
// SOAP 1.1 envelope. Children added below the result carry no prefix and so sit in the
// operation's namespace, as the service's own records do.
class SoapReply
{
public:
    SoapReply(const QString &operation, const QString &operationNamespace);

    pugi::xml_node result() const { return m_result; }
    // The result's children written as text (MarkupWriter) by an operation whose result is too
    // big to build as a tree, which leaves the result element of the tree empty. The buffer
    // already holds the envelope up to the result's start tag, and serialize() appends the rest,
    // so a listing of many megabytes is never copied.
    QByteArray &resultMarkup();
    void setResultText(const QString &text);
    void addOutput(const QString &name, const QString &text);
    // Once: a reply with result markup hands its buffer over.
    QByteArray serialize();

    static QByteArray fault(const QString &message);

    // Appends <name>text</name>; an empty text makes an empty element.
    static pugi::xml_node addText(pugi::xml_node parent, const QString &name, const QString &text);
    static pugi::xml_node addElement(pugi::xml_node parent, const QString &name);
    // The same for element names known at compile time, spared two conversions each: a listing
    // of many thousand records writes hundreds of thousands of them.
    static pugi::xml_node addText(pugi::xml_node parent, const char *name, const QString &text);
    static pugi::xml_node addElement(pugi::xml_node parent, const char *name);

private:
    QByteArray emptyResultTag() const;

    pugi::xml_document m_document;
    pugi::xml_node m_response;
    pugi::xml_node m_result;
    QByteArray m_resultName;
    std::optional<QByteArray> m_resultMarkup;
};

} // namespace pondrel::refservice
