// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

namespace pondrel {

// Settles how the C library's heap serves this process. Every program calls it first thing in
// main, and the benchmarks do too, so that they measure what the programs do.
void configureProcessHeap();

} // namespace pondrel
