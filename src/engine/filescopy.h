#pragma once

#include <functional>

#include "engine/nativename.h"

// Copies source to target atomically: the bytes go to a hidden temporary file in the target's
// folder, which takes the source's permissions and times and is published under the target
// name only when complete. overwrite true replaces an existing target in one step; false never
// replaces anything, not even a file that appears during the copy. Only regular files are
// copied (a link is followed), never onto themselves; any failure leaves no temporary file and
// an existing target as it was.
bool CopyFileTo(const NativeName &source, const NativeName &target, bool overwrite);

// Test seam: runs after a copy is complete and before it is published, to let a test put a
// file in the target's place as a concurrent program might.
void setBeforePublishForTest(std::function<void(const NativeName &target)> hook);
