// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "tests/common/LoopbackHttpServer.h"
#include "tests/common/ScopedEnvironment.h"
#include "tests/common/ScratchHome.h"
#include "tests/common/StandardErrorCapture.h"

#include "soap/oruSoap.h"

#include <QByteArray>

namespace pondrel {

// A scratch home with the deployment settings pointing at a loopback server.
struct ServiceFixture
{
    ScratchHome home;
    LoopbackHttpServer server;
    ServiceEnvironment environment {server.url()};
};

// The fixed head and tail of every request envelope, as they go on the wire.
inline const QByteArray kEnvelopeHead
    = "<soap:Envelope\n"
      "xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\"\n"
      "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"\n"
      "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\"\n"
      "xmlns:soapenc=\"http://schemas.xmlsoap.org/soap/encoding/\">\n"
      "<soap:Body>\n";
inline const QByteArray kEnvelopeTail = "</soap:Body>\n</soap:Envelope>\n";

// A reply envelope around the given body content.
inline QByteArray replyEnvelope(const QByteArray &bodyContent)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
           "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\" "
           "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
           "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\"><soap:Body>"
        + bodyContent + "</soap:Body></soap:Envelope>";
}

// A call of the operation "Op" in the namespace "urn:x" with one parameter p = value.
inline QVariantMap callOneParameterOperation(
    oruSoap &engine, const QString &url, const QString &value)
{
    return engine.soapCall(url, QStringLiteral("Op"), QStringLiteral("urn:x/Op"),
        QStringLiteral("urn:x"), {value}, {QStringLiteral("p")});
}

} // namespace pondrel
