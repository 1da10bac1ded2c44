// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QString>

#include <optional>

namespace pondrel {

// The client's two digests. The file digest identifies a picture's content: the Publisher sends
// it as the picture's hash and the Agent compares the file against it before rendering, so both
// must compute it by the same rule: SHA-1 over the file's complete 102,400-byte blocks only (a
// trailing shorter block is left out; a file under 102,400 bytes gives the SHA-1 of no data).
// The text digest names the signed-on account on a visit.
namespace oruNetworkDigest {

constexpr qint64 kFileDigestBlockSize = 102'400;

// 40 lowercase hexadecimal characters; none when the file cannot be read.
std::optional<QString> sha1FromFile(const QString &path);

// MD5 of the text's UTF-8 bytes as 32 lowercase hexadecimal characters; none when the digest
// fails.
std::optional<QString> md5(const QString &text);

// True when the file's digest equals hash exactly (case matters); false when the file cannot
// be read.
bool checkHashIsSame(const QString &path, const QString &hash);

} // namespace oruNetworkDigest

} // namespace pondrel
