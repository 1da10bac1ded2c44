// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QByteArray>

namespace pondrel::refservice {

namespace Gzip {

// The gzip member (RFC 1952) of the bytes; empty when zlib fails.
QByteArray compress(const QByteArray &bytes);
// Whether an Accept-Encoding header value admits gzip (a q-value of 0 refuses it).
bool isAccepted(const QByteArray &acceptEncoding);

} // namespace Gzip

} // namespace pondrel::refservice
