// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "refservice/HttpMessage.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <mutex>
#include <optional>

namespace pondrel::refservice {

// One planned misbehaviour: "[N*]OPERATION:KIND[:ARG]". OPERATION is a SOAP operation, a BITS
// packet type ("Create-Session", "Fragment", "Close-Session", "Cancel-Session"), "Upload" for
// every BITS request, or "*"; N limits how many requests it hits (no N: every one).
struct PlannedFault
{
    QString operation;
    QString kind;
    QString argument;
    int remaining = -1;

    static std::optional<PlannedFault> parse(const QString &text, QString &errorMsg);
    QString toString() const;
};

// The faults the service plays for tests, from --fault and POST /Pondrel/Admin/Faults.
// Shared by every connection thread.
class FaultInjector
{
public:
    void add(const PlannedFault &fault);
    void replaceAll(const QList<PlannedFault> &faults);
    QStringList describe() const;

    // The first fault that matches one of the names, counted as used.
    std::optional<PlannedFault> take(const QStringList &operationNames);

    // Waits for "delay" and returns nothing; for every other kind the reply to send instead.
    // soapFault builds the body of a SOAP fault with the argument as message.
    static std::optional<HttpResponse> play(const PlannedFault &fault);

private:
    mutable std::mutex m_mutex;
    QList<PlannedFault> m_faults;
};

} // namespace pondrel::refservice
