// What the Windows folder service measures in a directory.
#pragma once

#include "platform/win32/folder_service.h"
#include "platform/win32/win.h"
#include "services.h"

namespace sizewalk::win32 {

using testing::List;
using testing::TempDir;

// "name=size " for each subdirectory; after a failure "name=!" and the path
// below `dir` that could not be read.
inline std::string Sizes(FolderListing& listing, const std::string& dir = "") {
    std::string sizes;
    for (std::size_t i = 0; i < listing.SubFolders().size(); ++i) {
        const Outcome<ByteCount> size = listing.Size(i);
        std::string text = size.ok() ? std::to_string(static_cast<std::uint64_t>(size.value()))
                                     : size.error().description;
        if (!size.ok()) {
            text = std::string("!").append(text, text.find(dir) + dir.size());
        }
        sizes += listing.SubFolders()[i] + "=" + text + " ";
    }
    return sizes;
}

}  // namespace sizewalk::win32
