// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <memory>

namespace pondrel {

// Owns a handle of a C library and gives it back with the library's own release function,
// e.g. CHandle<CURL, curl_easy_cleanup> or CHandle<char, std::free>.
template <auto release>
struct CHandleReleaser
{
    template <typename T>
    void operator()(T *handle) const
    {
        if (handle)
            release(handle);
    }
};

template <typename T, auto release>
using CHandle = std::unique_ptr<T, CHandleReleaser<release>>;

} // namespace pondrel
