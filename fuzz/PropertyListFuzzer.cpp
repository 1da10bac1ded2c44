// SPDX-License-Identifier: GPL-2.0-or-later
#include "fuzz/FuzzSupport.h"

#include "support/PropertyList.h"

using namespace pondrel;

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    pondrel::fuzz::prepareProcess();
    return 0;
}

// Whatever reads back must also write out and read back again.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::optional<QVariant> value = PropertyList::parse(pondrel::fuzz::bytesOf(data, size));
    if (!value)
        return 0;
    if (const std::optional<QByteArray> xml = PropertyList::toXml(*value)) {
        if (!PropertyList::parse(*xml))
            __builtin_trap();
    }
    return 0;
}
