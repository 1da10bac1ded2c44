// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QString>

#include <stdexcept>

namespace pondrel::refservice {

// A refusal with a message for the user. Operations raise it; the dispatcher catches it at the
// edge of the request and answers with a SOAP fault carrying the message.
class ServiceFault : public std::runtime_error
{
public:
    explicit ServiceFault(const QString &message)
        : std::runtime_error(message.toStdString())
        , m_message(message)
    { }
    QString message() const { return m_message; }

private:
    QString m_message;
};

} // namespace pondrel::refservice
