// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/common/ScratchHome.h"
#include "tests/common/StandardErrorCapture.h"

#include "support/Preferences.h"

#include <QFile>

#include <gtest/gtest.h>

namespace pondrel {

// The file's place and mode are shown through pondrel-tool defaults in the property-list tests.
TEST(Preferences, AFileReplacedByAnotherWriterIsSeenAtOnce)
{
    ScratchHome home;
    Preferences shared = Preferences::shared();
    ASSERT_TRUE(shared.setValue("Debug", true));
    EXPECT_TRUE(shared.value("Debug").toBool());

    // Another writer replaces the file behind our back; the next lookup must see it.
    QFile file(shared.filePath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
               "<key>Debug</key><false/><key>LastLogin</key><string>a@b.example</string>"
               "</dict></plist>\n");
    file.close();
    EXPECT_FALSE(shared.value("Debug").toBool());
    EXPECT_EQ(shared.value("LastLogin").toString(), "a@b.example");
}

TEST(Preferences, AFileThatIsNoPropertyListIsNamedOnceAndMovedAsideBeforeAWrite)
{
    ScratchHome home;
    Preferences domain(QStringLiteral("com.trevane.garbled"));
    ASSERT_TRUE(domain.setValue("Kept", 1));
    QFile file(domain.filePath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("garbage<<");
    file.close();

    StandardErrorCapture standardError;
    EXPECT_FALSE(domain.value("Kept").isValid());
    EXPECT_FALSE(domain.contains("Kept"));
    EXPECT_TRUE(domain.setValue("Fresh", "yes"));
    EXPECT_TRUE(domain.setValue("Second", 2));
    const QString said = QString::fromUtf8(standardError.finish());
    EXPECT_EQ(said.count(domain.filePath() + " is not a property list"), 1) << said.toStdString();

    EXPECT_EQ(domain.value("Fresh").toString(), "yes");
    EXPECT_EQ(domain.value("Second").toInt(), 2);
    QFile aside(domain.filePath() + ".corrupt");
    ASSERT_TRUE(aside.open(QIODevice::ReadOnly));
    EXPECT_EQ(aside.readAll(), "garbage<<");
}

} // namespace pondrel
