// SPDX-License-Identifier: GPL-2.0-or-later
// The saved password through QtKeychain, in a program of its own on a bus without a secret
// store: it falls back to the preferences file, which only the user can read.
#include "tests/common/PrivateBus.h"
#include "tests/common/ProgramRun.h"
#include "tests/common/ScratchHome.h"

#include "support/Preferences.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace pondrel;

TEST(PublisherSecretStoreTest, WithoutASecretStoreThePasswordStaysInThePrivateSettingsFile)
{
    ScratchHome home;
    PrivateBus bus;
    ASSERT_TRUE(bus.isValid()) << "dbus-daemon is needed for this test";
    qunsetenv("PONDREL_NO_SECRET_STORE");

    const ProgramRun probe = ProgramRun::run(
        ProgramRun::builtProgram("pondrel-secret-store-probe"), {"ann@example.com", "pass-word"});
    ASSERT_EQ(probe.exitCode, 0) << probe.standardError.toStdString();
    EXPECT_EQ(probe.standardOutput, "preferences-file\npass-word\n");
    EXPECT_EQ(Preferences::shared().value("LastPwd").toString(), "pass-word");
    EXPECT_EQ(QFile::permissions(Preferences::shared().filePath()),
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser
            | QFileDevice::WriteUser);
}
