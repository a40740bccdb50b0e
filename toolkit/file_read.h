// The toolkit's read call, which every RIFF function reads through.
#pragma once

#include "platform/file.h"

// Reads up to `count` bytes at the file's position into `buffer`; `*bytesRead` (required)
// receives the count read, fewer than asked at the end of the file, so callers compare the two.
// Returns TRUE on success. Overlapped reads do not exist here: `overlapped` must be null, and a
// null file or buffer fails with nothing read.
BOOL NxReadFile(NxFileHandle file, LPVOID buffer, DWORD count, DWORD* bytesRead,
                LPVOID overlapped);
