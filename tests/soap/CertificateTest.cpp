// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/common/SelfSignedTlsServer.h"
#include "tests/soap/SoapTestSupport.h"

#include "soap/oruSoap.h"
#include "support/Preferences.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

namespace pondrel {

namespace {

TEST(Certificates, AnUnknownCertificateIsRefusedUnlessTheDeploymentAllowsIt)
{
    ServiceFixture fixture;
    SelfSignedTlsServer impostor;
    ASSERT_TRUE(impostor.isListening()) << "openssl serves no self-signed certificate here";

    oruSoap verifying;
    const QVariantMap refused = callOneParameterOperation(verifying,
        impostor.url(QStringLiteral("/Pondrel/x.asmx")), QStringLiteral("secret-session"));
    EXPECT_EQ(verifying.curlResult(), CURLE_PEER_FAILED_VERIFICATION);
    EXPECT_TRUE(
        refused.value(QStringLiteral("error")).toString().startsWith(QStringLiteral("0, 60 (")))
        << refused.value(QStringLiteral("error")).toString().toStdString();

    ASSERT_TRUE(Preferences::shared().setValue(QStringLiteral("AllowInvalidCertificates"), true));
    oruSoap trusting;
    // The stand-in never answers; what matters is that the request got through.
    trusting.setTransferTimeLimitForTesting(std::chrono::milliseconds(500));
    callOneParameterOperation(trusting, impostor.url(QStringLiteral("/Pondrel/x.asmx")),
        QStringLiteral("secret-session"));
    EXPECT_EQ(trusting.curlResult(), CURLE_OPERATION_TIMEDOUT);
    EXPECT_TRUE(impostor.waitForOutput("<p>secret-session</p>"));
}

} // namespace

} // namespace pondrel
