// SPDX-License-Identifier: GPL-2.0-or-later
#include "fuzz/FuzzSupport.h"

#include "support/ISO8601Parsing.h"

using namespace pondrel;

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    pondrel::fuzz::prepareProcess();
    return 0;
}

// The first byte picks the mode and the time separator; the rest is the text.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const bool strictly = data[0] & 1;
    const char separator = (data[0] & 2) ? '.' : ':';
    const QString text = QString::fromUtf8(pondrel::fuzz::bytesOf(data + 1, size - 1));
    ISO8601Parsing::ParseRange range;
    const std::optional<QDateTime> date
        = ISO8601Parsing::calendarDateWithString(text, strictly, separator, &range);
    const qsizetype utf8Length = text.toUtf8().size();
    if (date
        && (range.location < 0 || range.length <= 0 || range.location + range.length > utf8Length))
        __builtin_trap();
    return 0;
}
