// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "support/CHandle.h"

#include <cstddef>
#include <cstdlib>
#include <limits>

namespace pondrel {

// The reply accumulator of the call in progress. While a call runs, size < allocated_size and
// memory[size] is a zero byte.
struct MemoryStruct
{
    CHandle<char, ::free> memory;
    std::size_t size = 0;
    std::size_t allocated_size = 0;
    // A chunk could not be stored: the reply is incomplete and the transfer was stopped.
    bool exhausted = false;
    // The most the reply may grow to; a chunk beyond it stops the transfer and sets overLimit.
    std::size_t limit = std::numeric_limits<std::size_t>::max();
    bool overLimit = false;

    // False when not even the initial buffer could be had.
    bool reset(std::size_t capacity);
    void release();
};

// The transfer's write callback: appends the chunk to the MemoryStruct behind userp, doubling
// its buffer when it is full. When the memory cannot be had it marks the reply exhausted and
// returns 0, which makes libcurl end the transfer with an error instead of losing bytes silently.
std::size_t read_reply(char *contents, std::size_t size, std::size_t nmemb, void *userp);

} // namespace pondrel
