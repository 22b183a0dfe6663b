#pragma once

#include "extract/FileExtractor.h"

namespace quorvid {

// The helper's side of the extraction protocol: reads requests from in_fd until
// it closes and streams each file's steps and events to out_fd as they are made.
// Returns the process's exit status.
int ServeExtractions(const FileExtractor& extractor, int inFd, int outFd);

// Sends the message that the helper is set up and confined.
bool SendReady(int outFd);

}  // namespace quorvid
