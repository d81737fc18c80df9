// Reparse points as the program meets them. A link (a name surrogate: a
// symbolic link, a junction) stands for another name: it is neither
// followed, nor written or read through. Any other reparse point (a
// deduplicated or cloud-tiered file, one moved to other storage) is an
// ordinary file whose data the filter that owns it keeps.
#pragma once

#include "platform/win32/win.h"

namespace sizewalk::win32 {

bool IsLink(const WIN32_FIND_DATAW& entry);
// For a handle opened with FILE_FLAG_OPEN_REPARSE_POINT; true also when
// the system cannot tell.
bool IsLink(HANDLE handle);

enum class Opened { kFile, kLink, kFailed };

// For `handle`, opened with FILE_FLAG_OPEN_REPARSE_POINT: kFile for a plain
// file; kLink for a link (still open); for any other reparse point, `handle`
// is closed and replaced by the same file opened with `access` and `share`
// through its filter, so that its data is the file's (kFile), or by
// INVALID_HANDLE_VALUE (kFailed, GetLastError says why).
Opened ThroughFilters(HANDLE& handle, DWORD access, DWORD share);

}  // namespace sizewalk::win32
