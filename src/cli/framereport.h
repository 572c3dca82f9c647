#pragma once

#include "framedecoder.h"

#include <ostream>

namespace qbx::cli {

// `decode`: each frame with its offset, switch and bits, each recognised setting after its
// frames, the runs of other bytes where they stand, and a count at the end.
void printDecoding(const FrameDecoding& decoding, std::ostream& out);

// `store --dry-run`: one line per frame, its bytes in hexadecimal and what it does.
void printDryRun(const FrameDecoding& decoding, std::ostream& out);

} // namespace qbx::cli
