// Bounded string copies into fixed buffers. The bound is an address, not a
// size: copying stops when the destination reaches `end`, and the terminating
// zero is written where copying stopped, which may be `end` itself. A buffer of
// N characters is therefore passed with end = buf + N - 1.
#pragma once

char* CopyBounded(char* dst, const char* src, char* end);
char* AppendBounded(char* buf, const char* str, char* end);
