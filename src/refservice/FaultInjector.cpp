// SPDX-License-Identifier: GPL-2.0-or-later
#include "refservice/FaultInjector.h"

#include "refservice/SoapReply.h"

#include <QThread>

namespace pondrel::refservice {

namespace {

const QStringList kKinds
    = {QStringLiteral("delay"), QStringLiteral("soapfault"), QStringLiteral("http500"),
        QStringLiteral("drop"), QStringLiteral("empty"), QStringLiteral("html"),
        QStringLiteral("bits403"), QStringLiteral("bits-no-session"), QStringLiteral("lost")};

// A planted delay parks a pool thread; a minute is enough for any test of a slow service.
constexpr int kLongestDelayMs = 60 * 1000;

} // namespace

std::optional<PlannedFault> PlannedFault::parse(const QString &text, QString &errorMsg)
{
    QString rest = text.trimmed();
    PlannedFault fault;
    const qsizetype star = rest.indexOf(u'*');
    const qsizetype colon = rest.indexOf(u':');
    if (star > 0 && (colon < 0 || star < colon)) {
        bool ok = false;
        fault.remaining = rest.left(star).toInt(&ok);
        if (!ok || fault.remaining <= 0) {
            errorMsg = QStringLiteral("bad count in fault %1").arg(text);
            return std::nullopt;
        }
        rest = rest.mid(star + 1);
    }
    const QStringList parts = rest.split(u':');
    if (parts.size() < 2 || parts[0].isEmpty() || !kKinds.contains(parts[1])) {
        errorMsg
            = QStringLiteral("a fault reads [N*]OPERATION:KIND[:ARG] with KIND one of %1, not %2")
                  .arg(kKinds.join(QStringLiteral(", ")), text);
        return std::nullopt;
    }
    fault.operation = parts[0];
    fault.kind = parts[1];
    fault.argument = parts.mid(2).join(u':');
    if (fault.kind == QLatin1String("delay")) {
        bool ok = false;
        const int milliseconds = fault.argument.toInt(&ok);
        if (!ok || milliseconds < 0 || milliseconds > kLongestDelayMs) {
            errorMsg = QStringLiteral("delay wants at most %1 milliseconds: %2")
                           .arg(kLongestDelayMs)
                           .arg(text);
            return std::nullopt;
        }
    }
    return fault;
}

QString PlannedFault::toString() const
{
    QString text = remaining > 0 ? QString::number(remaining) + u'*' : QString();
    text += operation + u':' + kind;
    if (!argument.isEmpty())
        text += u':' + argument;
    return text;
}

void FaultInjector::add(const PlannedFault &fault)
{
    const std::lock_guard<std::mutex> guard(m_mutex);
    m_faults.append(fault);
}

void FaultInjector::replaceAll(const QList<PlannedFault> &faults)
{
    const std::lock_guard<std::mutex> guard(m_mutex);
    m_faults = faults;
}

QStringList FaultInjector::describe() const
{
    const std::lock_guard<std::mutex> guard(m_mutex);
    QStringList lines;
    for (const PlannedFault &fault : m_faults)
        lines.append(fault.toString());
    return lines;
}

std::optional<PlannedFault> FaultInjector::take(const QStringList &operationNames)
{
    const std::lock_guard<std::mutex> guard(m_mutex);
    for (qsizetype i = 0; i < m_faults.size(); ++i) {
        PlannedFault &fault = m_faults[i];
        if (fault.operation != QLatin1String("*") && !operationNames.contains(fault.operation))
            continue;
        const PlannedFault taken = fault;
        if (fault.remaining > 0 && --fault.remaining == 0)
            m_faults.removeAt(i);
        return taken;
    }
    return std::nullopt;
}

std::optional<HttpResponse> FaultInjector::play(const PlannedFault &fault)
{
    if (fault.kind == QLatin1String("delay")) {
        QThread::msleep(fault.argument.toULong());
        return std::nullopt;
    }
    if (fault.kind == QLatin1String("soapfault"))
        return HttpResponse::text(500, "text/xml; charset=utf-8", SoapReply::fault(fault.argument));
    if (fault.kind == QLatin1String("http500"))
        return HttpResponse::text(500, "text/plain; charset=utf-8", "Internal Server Error\n");
    if (fault.kind == QLatin1String("empty"))
        return HttpResponse::text(200, "text/xml; charset=utf-8", QByteArray());
    if (fault.kind == QLatin1String("html"))
        return HttpResponse::text(502, "text/html; charset=utf-8",
            "<html><head><title>502 Bad Gateway</title></head><body><h1>Bad Gateway</h1>"
            "<p>The proxy server received an invalid response from an upstream server.</p>"
            "</body></html>\n");
    if (fault.kind == QLatin1String("bits403")) {
        HttpResponse response = HttpResponse::text(403, "text/plain", QByteArray());
        response.setHeader("BITS-Packet-Type", "Ack");
        response.setHeader("BITS-Error-Code", "0x80070005");
        response.setHeader("BITS-Error-Context", "0x5");
        return response;
    }
    HttpResponse dropped;
    dropped.drop = fault.kind == QLatin1String("drop");
    if (dropped.drop)
        return dropped;
    return std::nullopt; // bits-no-session and lost: the endpoints play them themselves
}

} // namespace pondrel::refservice
