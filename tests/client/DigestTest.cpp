// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/common/ProgramRun.h"
#include "tests/common/ScratchHome.h"

#include "client/oruNetwork_digest.h"

#include <QCryptographicHash>
#include <QFile>
#include <QRandomGenerator>

#include <gtest/gtest.h>

namespace pondrel {

using namespace oruNetworkDigest;

namespace {

const QString kSha1OfNoData = QStringLiteral("da39a3ee5e6b4b0d3255bfef95601890afd80709");

QByteArray randomBytes(qsizetype size, quint32 seed)
{
    QRandomGenerator generator(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char &byte : bytes)
        byte = char(generator.bounded(256));
    return bytes;
}

QString writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path;
}

QString independentSha1(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex());
}

ProgramRun runProgram(const QString &program, const QStringList &arguments)
{
    ProgramRun run = ProgramRun::run(program, arguments);
    run.standardOutput = run.standardOutput.trimmed();
    return run;
}

QString tool()
{
    return ProgramRun::builtProgram(QStringLiteral("pondrel-tool"));
}

} // namespace

// Only whole 102,400-byte blocks enter the digest; comparison is exact and case-sensitive.
TEST(FileDigest, DigestsWholeBlocksAndComparesExactly)
{
    ScratchHome home;
    const QByteArray content = randomBytes(250'000, 7);
    const QString exact = writeFile(home.path() + "/exact", content.left(102'400));
    const QString oneMore = writeFile(home.path() + "/one-more", content.left(102'401));
    const QString twoAndABit = writeFile(home.path() + "/two-and-a-bit", content);

    const std::optional<QString> exactDigest = sha1FromFile(exact);
    ASSERT_TRUE(exactDigest);
    EXPECT_EQ(*exactDigest, independentSha1(content.left(102'400)));
    EXPECT_EQ(sha1FromFile(oneMore), exactDigest);
    EXPECT_EQ(sha1FromFile(twoAndABit), independentSha1(content.left(204'800)));
    EXPECT_NE(sha1FromFile(twoAndABit), independentSha1(content));

    EXPECT_EQ(sha1FromFile(writeFile(home.path() + "/empty", {})), kSha1OfNoData);
    EXPECT_EQ(
        sha1FromFile(writeFile(home.path() + "/short", randomBytes(102'399, 3))), kSha1OfNoData);
    EXPECT_FALSE(sha1FromFile(home.path() + "/missing"));
    EXPECT_FALSE(sha1FromFile(home.path()));
    EXPECT_FALSE(checkHashIsSame(home.path() + "/missing", kSha1OfNoData));

    const QString digest = independentSha1(content.left(204'800));
    EXPECT_TRUE(checkHashIsSame(twoAndABit, digest));
    EXPECT_FALSE(checkHashIsSame(twoAndABit, digest.toUpper()));
    EXPECT_FALSE(checkHashIsSame(twoAndABit, digest.left(39)));
    EXPECT_FALSE(checkHashIsSame(twoAndABit, {}));
}

TEST(DigestTool, AgreesWithTheSystemsDigestPrograms)
{
    ScratchHome home;
    const QString path
        = writeFile(home.path() + "/three blocks and a tail", randomBytes(3 * 102'400 + 517, 5));

    const ProgramRun ours = runProgram(tool(), {"digest", "sha1", path});
    EXPECT_EQ(ours.exitCode, 0);
    const ProgramRun system = runProgram(QStringLiteral("/bin/sh"),
        {"-c", QStringLiteral("head -c 307200 \"$0\" | sha1sum | cut -d' ' -f1"), path});
    EXPECT_EQ(ours.standardOutput, system.standardOutput);
    EXPECT_EQ(ours.standardOutput.size(), 40);

    const ProgramRun ourText = runProgram(tool(), {"digest", "md5", "zoë@example.org"});
    const ProgramRun systemText = runProgram(QStringLiteral("/bin/sh"),
        {"-c", QStringLiteral("printf %s \"$0\" | md5sum | cut -d' ' -f1"), "zoë@example.org"});
    EXPECT_EQ(ourText.exitCode, 0);
    EXPECT_EQ(ourText.standardOutput, systemText.standardOutput);

    EXPECT_EQ(runProgram(tool(), {"digest", "sha1", home.path() + "/missing"}).exitCode, 1);
    EXPECT_EQ(runProgram(tool(), {"digest", "crc32", path}).exitCode, 2);
}

} // namespace pondrel
