// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/common/ScratchHome.h"

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

} // namespace pondrel
