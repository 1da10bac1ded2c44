// SPDX-License-Identifier: GPL-2.0-or-later
#include "soap/ReplyBuffer.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace pondrel {

bool MemoryStruct::reset(std::size_t capacity)
{
    memory.reset(static_cast<char *>(std::malloc(capacity)));
    size = 0;
    exhausted = false;
    overLimit = false;
    allocated_size = memory ? capacity : 0;
    if (memory)
        memory.get()[0] = '\0';
    return bool(memory);
}

void MemoryStruct::release()
{
    memory.reset();
    size = 0;
    allocated_size = 0;
}

namespace {

bool reallocate(MemoryStruct &reply, std::size_t capacity)
{
    char *grown = static_cast<char *>(std::realloc(reply.memory.get(), capacity));
    if (!grown)
        return false;
    (void)reply.memory.release();
    reply.memory.reset(grown);
    reply.allocated_size = capacity;
    return true;
}

// A reply of many megabytes arrives in chunks of a few kilobytes: growing by doubling copies
// each byte a bounded number of times, where growing to the exact size copied the whole reply
// again at every chunk. The double never passes what the limit lets the reply reach; short of
// memory for it, the exact size is tried.
bool grow(MemoryStruct &reply, std::size_t needed)
{
    constexpr std::size_t kLargest = std::numeric_limits<std::size_t>::max();
    const std::size_t ceiling = reply.limit < kLargest ? reply.limit + 1 : kLargest;
    const std::size_t doubled = reply.allocated_size > kLargest / 2
        ? needed
        : std::max(needed, std::min(reply.allocated_size * 2, ceiling));
    return reallocate(reply, doubled) || (doubled != needed && reallocate(reply, needed));
}

} // namespace

std::size_t read_reply(char *contents, std::size_t size, std::size_t nmemb, void *userp)
{
    auto *reply = static_cast<MemoryStruct *>(userp);
    std::size_t chunk = 0;
    if (__builtin_mul_overflow(size, nmemb, &chunk)
        || chunk >= std::numeric_limits<std::size_t>::max() - reply->size) {
        reply->exhausted = true;
        return 0;
    }
    if (chunk > reply->limit - std::min(reply->size, reply->limit)) {
        reply->overLimit = true;
        return 0;
    }
    const std::size_t needed = reply->size + chunk + 1;
    if (needed > reply->allocated_size && !grow(*reply, needed)) {
        reply->exhausted = true;
        return 0;
    }
    std::memcpy(reply->memory.get() + reply->size, contents, chunk);
    reply->size += chunk;
    reply->memory.get()[reply->size] = '\0';
    return chunk;
}

} // namespace pondrel
