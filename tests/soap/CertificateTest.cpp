#include "SoapTestSupport.h"

#include "soap/oruSoap.h"
#include "support/Preferences.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// A TLS server on 127.0.0.1 with a freshly made self-signed certificate: the stand-in for a
// machine in the middle. It prints whatever a client sends once the handshake has passed.
class SelfSignedTlsServer
{
public:
    SelfSignedTlsServer()
        : m_port(LoopbackHttpServer::closedPort())
    {
        QProcess request;
        request.start(QStringLiteral("openssl"),
            {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                QStringLiteral("-subj"), QStringLiteral("/CN=services.trevane.com"),
                QStringLiteral("-days"), QStringLiteral("1"), QStringLiteral("-keyout"),
                m_dir.filePath(QStringLiteral("key.pem")), QStringLiteral("-out"),
                m_dir.filePath(QStringLiteral("certificate.pem"))});
        request.waitForFinished();
        m_server.start(QStringLiteral("openssl"),
            {QStringLiteral("s_server"), QStringLiteral("-accept"),
                QStringLiteral("127.0.0.1:%1").arg(m_port), QStringLiteral("-cert"),
                m_dir.filePath(QStringLiteral("certificate.pem")), QStringLiteral("-key"),
                m_dir.filePath(QStringLiteral("key.pem"))});
        waitForOutput("ACCEPT");
    }

    ~SelfSignedTlsServer()
    {
        m_server.kill();
        m_server.waitForFinished();
    }

    QString url() const
    {
        return QStringLiteral("https://127.0.0.1:%1/Pondrel/x.asmx").arg(m_port);
    }

    bool waitForOutput(const QByteArray &text)
    {
        QElapsedTimer timer;
        timer.start();
        while (!m_output.contains(text) && timer.elapsed() < 10000) {
            m_server.waitForReadyRead(100);
            m_output += m_server.readAllStandardOutput();
        }
        return m_output.contains(text);
    }

private:
    QTemporaryDir m_dir;
    quint16 m_port;
    QProcess m_server;
    QByteArray m_output;
};

QVariantMap callOver(oruSoap &engine, const QString &url)
{
    return engine.soapCall(url, QStringLiteral("Op"), QStringLiteral("urn:x/Op"),
        QStringLiteral("urn:x"), {QStringLiteral("secret-session")}, {QStringLiteral("p")});
}

TEST(Certificates, AnUnknownCertificateIsRefusedUnlessTheDeploymentAllowsIt)
{
    ServiceFixture fixture;
    SelfSignedTlsServer impostor;

    oruSoap verifying;
    const QVariantMap refused = callOver(verifying, impostor.url());
    EXPECT_EQ(verifying.curlResult(), CURLE_PEER_FAILED_VERIFICATION);
    EXPECT_TRUE(
        refused.value(QStringLiteral("error")).toString().startsWith(QStringLiteral("0, 60 (")))
        << refused.value(QStringLiteral("error")).toString().toStdString();

    ASSERT_TRUE(Preferences::shared().setValue(QStringLiteral("AllowInvalidCertificates"), true));
    oruSoap trusting;
    // The stand-in never answers; what matters is that the request got through.
    trusting.setTransferTimeLimitForTesting(std::chrono::milliseconds(500));
    callOver(trusting, impostor.url());
    EXPECT_EQ(trusting.curlResult(), CURLE_OPERATION_TIMEDOUT);
    EXPECT_TRUE(impostor.waitForOutput("<p>secret-session</p>"));
}

} // namespace
