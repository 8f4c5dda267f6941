#pragma once

namespace orvex {

// A lock the thread sanitizer sees, taken on both sides of a hand-over made through Qt's thread pool
// (whose own locks it cannot see): the writer calls it before handing over, the reader after taking.
void handOverFence();

} // namespace orvex
