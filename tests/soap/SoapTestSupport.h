#pragma once

#include "LoopbackHttpServer.h"
#include "ScratchHome.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <vector>

// Sets an environment variable (or removes it, for a null value) for the lifetime of the object.
class EnvironmentVariable
{
public:
    EnvironmentVariable(const char *name, const QByteArray &value);
    ~EnvironmentVariable();
    EnvironmentVariable(const EnvironmentVariable &) = delete;
    EnvironmentVariable &operator=(const EnvironmentVariable &) = delete;

private:
    QByteArray m_name;
    QByteArray m_saved;
    bool m_wasSet;
};

// A scratch home with the deployment settings pointing at a loopback server and every proxy
// variable cleared, so that the desktop's settings play no part unless a test sets them.
class ServiceFixture
{
public:
    ServiceFixture();

    ScratchHome home;
    LoopbackHttpServer server;

private:
    std::vector<std::unique_ptr<EnvironmentVariable>> m_variables;
};

// Collects everything written to standard error (where log lines go) while it lives.
class StandardErrorCapture
{
public:
    StandardErrorCapture();
    ~StandardErrorCapture();
    QByteArray finish();

private:
    int m_savedDescriptor = -1;
    QString m_path;
    bool m_finished = false;
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
QByteArray replyEnvelope(const QByteArray &bodyContent);
