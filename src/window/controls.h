// What Form1 needs of a window's controls. Each face (Qt, Win32) implements
// it; Form1's tests replace it.
#pragma once

#include <cstddef>
#include <string>

#include "window/lists.h"

namespace sizewalk {

class Form1Controls {
  public:
    virtual ~Form1Controls() = default;

    virtual void SetCaption(const std::string& caption) = 0;
    // The lists show their state anew: entries and the current one.
    virtual void ShowDrives(const DriveListState& drives) = 0;
    virtual void ShowDirectories(const DirectoryListState& directories) = 0;
    virtual void SetDirLabel(const std::string& caption) = 0;
    // Whether optOutputStyle(index) is selected.
    virtual bool StyleSelected(int index) = 0;
    virtual void EnableGo(bool enabled) = 0;
    virtual void FocusGo() = 0;
    // The wait notice and, along its row, how many of `total` are measured.
    virtual void ShowWait(bool shown) = 0;
    virtual void ShowProgress(std::size_t done, std::size_t total) = 0;
    // Paints now whatever needs it (changed or uncovered). Input that the
    // user gave and the window has not yet taken is thrown away, never
    // delivered later: the window is busy, or was until now.
    virtual void Repaint() = 0;
};

}  // namespace sizewalk
