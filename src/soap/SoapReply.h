// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QByteArrayView>
#include <QString>
#include <QVariantMap>

#include <optional>

namespace pondrel {

// Turns the body of a SOAP 1.1 reply into the reply dictionary's entries:
// - one entry per child of the "<operation>Response" element, keyed by its local name;
// - an element with child elements becomes a dictionary, a name repeated within one parent an
//   array in document order (a name seen once is never wrapped into an array of one);
// - an element with text only becomes that text, unescaped;
// - an element with neither becomes the null marker (Values::nullMarker());
// - a Fault becomes the dictionary of its children, and its fault string is reported apart.
namespace SoapReply {

// The reply dictionary's key for every kind of failure; callers test it first.
inline const QString kErrorKey = QStringLiteral("error");

struct Conversion
{
    QVariantMap entries;
    // Set when the body is a SOAP fault: the text of its faultstring element.
    std::optional<QString> faultString;
    // Set when the body is no SOAP reply to the operation at all (not XML, an HTML page, an
    // envelope without body, the response of another operation...): what is wrong with it.
    // The entries are empty then.
    std::optional<QString> problem;
};

// Parses the body where it lies, overwriting its bytes: a reply of many megabytes is not copied
// first.
Conversion convertInPlace(char *body, qsizetype size, const QString &operation);
Conversion convert(QByteArrayView body, const QString &operation);

} // namespace SoapReply

} // namespace pondrel
