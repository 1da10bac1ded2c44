#include "SoapTestSupport.h"

#include <QTemporaryFile>

#include <fcntl.h>
#include <unistd.h>

EnvironmentVariable::EnvironmentVariable(const char *name, const QByteArray &value)
    : m_name(name)
    , m_saved(qgetenv(name))
    , m_wasSet(qEnvironmentVariableIsSet(name))
{
    if (value.isNull())
        qunsetenv(name);
    else
        qputenv(name, value);
}

EnvironmentVariable::~EnvironmentVariable()
{
    if (m_wasSet)
        qputenv(m_name.constData(), m_saved);
    else
        qunsetenv(m_name.constData());
}

ServiceFixture::ServiceFixture()
{
    m_variables.push_back(
        std::make_unique<EnvironmentVariable>("PONDREL_SERVICE_URL", server.url().toUtf8()));
    for (const char *name : {"PONDREL_SERVICE_NAMESPACE", "PONDREL_SERVICE_KEY",
             "PONDREL_SERVICE_KEY_ELEMENT", "http_proxy", "HTTP_PROXY", "https_proxy",
             "HTTPS_PROXY", "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"})
        m_variables.push_back(std::make_unique<EnvironmentVariable>(name, QByteArray()));
}

StandardErrorCapture::StandardErrorCapture()
{
    QTemporaryFile file;
    file.setAutoRemove(false);
    file.open();
    m_path = file.fileName();
    file.close();
    const int descriptor = ::open(m_path.toLocal8Bit().constData(), O_WRONLY | O_TRUNC);
    m_savedDescriptor = ::dup(STDERR_FILENO);
    ::dup2(descriptor, STDERR_FILENO);
    ::close(descriptor);
}

StandardErrorCapture::~StandardErrorCapture()
{
    finish();
}

QByteArray StandardErrorCapture::finish()
{
    if (m_finished)
        return {};
    m_finished = true;
    ::dup2(m_savedDescriptor, STDERR_FILENO);
    ::close(m_savedDescriptor);
    QFile file(m_path);
    file.open(QIODevice::ReadOnly);
    const QByteArray captured = file.readAll();
    file.remove();
    return captured;
}

QByteArray replyEnvelope(const QByteArray &bodyContent)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
           "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\" "
           "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
           "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\"><soap:Body>"
        + bodyContent + "</soap:Body></soap:Envelope>";
}
