// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QByteArray>

#include <cstddef>
#include <cstdint>

namespace pondrel::fuzz {

// A Qt application object and a scratch HOME, so the code under test finds what it expects
// (image plugins, preferences) without touching the user's files. Once per process.
void prepareProcess();

inline QByteArray bytesOf(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}

} // namespace pondrel::fuzz
