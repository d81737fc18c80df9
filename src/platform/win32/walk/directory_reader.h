// Reading one directory's entries: the one call the walk makes on the file
// system, behind an interface so that tests can slow it down or make it fail.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/win32/win.h"

namespace sizewalk::win32::walk {

using EntryVisitor = std::function<void(const WIN32_FIND_DATAW&)>;

class DirectoryReader {
  public:
    virtual ~DirectoryReader() = default;
    // Calls `visit` for each entry of the directory `dir` (a long path) but
    // "." and ".."; returns the Windows error that stopped the listing, or
    // ERROR_SUCCESS. Called by several threads at once.
    virtual DWORD Read(const std::wstring& dir, const EntryVisitor& visit) = 0;
};

// FindFirstFileExW with basic information and large fetches: names,
// attributes and sizes come with the listing, a few hundred entries a
// request, without opening any file.
std::shared_ptr<DirectoryReader> MakeFindFileReader();
// What that reader does, for a listing that needs no stand-in.
DWORD ForEachEntry(const std::wstring& dir, const EntryVisitor& visit);

bool IsDirectory(const WIN32_FIND_DATAW& entry);

}  // namespace sizewalk::win32::walk
