#include "SelfSignedTlsServer.h"
#include "SoapTestSupport.h"

#include "soap/oruSoap.h"
#include "support/Preferences.h"

#include <gtest/gtest.h>

namespace {

QVariantMap callOver(oruSoap &engine, const QString &url)
{
    return engine.soapCall(url, QStringLiteral("Op"), QStringLiteral("urn:x/Op"),
        QStringLiteral("urn:x"), {QStringLiteral("secret-session")}, {QStringLiteral("p")});
}

TEST(Certificates, AnUnknownCertificateIsRefusedUnlessTheDeploymentAllowsIt)
{
    ServiceFixture fixture;
    SelfSignedTlsServer impostor;
    ASSERT_TRUE(impostor.isListening());

    oruSoap verifying;
    const QVariantMap refused
        = callOver(verifying, impostor.url(QStringLiteral("/Pondrel/x.asmx")));
    EXPECT_EQ(verifying.curlResult(), CURLE_PEER_FAILED_VERIFICATION);
    EXPECT_TRUE(
        refused.value(QStringLiteral("error")).toString().startsWith(QStringLiteral("0, 60 (")))
        << refused.value(QStringLiteral("error")).toString().toStdString();

    ASSERT_TRUE(Preferences::shared().setValue(QStringLiteral("AllowInvalidCertificates"), true));
    oruSoap trusting;
    // The stand-in never answers; what matters is that the request got through.
    trusting.setTransferTimeLimitForTesting(std::chrono::milliseconds(500));
    callOver(trusting, impostor.url(QStringLiteral("/Pondrel/x.asmx")));
    EXPECT_EQ(trusting.curlResult(), CURLE_OPERATION_TIMEDOUT);
    EXPECT_TRUE(impostor.waitForOutput("<p>secret-session</p>"));
}

} // namespace
