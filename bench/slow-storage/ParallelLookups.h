#pragma once

namespace slow {

// Lets the kernel send lookups and folder listings of one folder side by side,
// as a share answers them: called with the mounted FUSE device, before the
// kernel's INIT is answered.
void AnswerInitWithParallelLookups(int fuseDevice);

}  // namespace slow
