// SPDX-License-Identifier: GPL-2.0-or-later
#include "support/ProcessHeap.h"

#include <malloc.h>

namespace pondrel {

// A listing of ten thousand pictures becomes half a million small values, and dropping it frees
// them all. glibc's fast bins keep each such chunk apart and merge them later in one pass over
// cold memory, which cost twice as much as the frees themselves. Without fast bins a chunk is
// merged as it is freed; the per-thread cache still serves the churn of small temporaries.
void configureProcessHeap()
{
    mallopt(M_MXFAST, 0);
}

} // namespace pondrel
