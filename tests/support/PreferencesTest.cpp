#include "ScratchHome.h"

#include "support/Preferences.h"

#include <QFile>

#include <gtest/gtest.h>

#include <sys/stat.h>

TEST(Preferences, WritesPrivatePropertyListThatOtherProcessesSeeAtOnce)
{
    ScratchHome home;
    Preferences shared = Preferences::shared();
    EXPECT_EQ(shared.filePath(), home.configHome() + "/trevane/com.trevane.pondrel.plist");
    EXPECT_FALSE(shared.value("Debug").toBool());

    ASSERT_TRUE(shared.setValue("Debug", true));
    struct stat status
    {
    };
    ASSERT_EQ(::stat(shared.filePath().toLocal8Bit().constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);

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
