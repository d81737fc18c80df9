// The tracking run: measure every immediate subdirectory of TargetDir and add
// one block to the tracking file of OutputStyle.
#pragma once

#include "platform/platform.h"

namespace sizewalk {

enum class RunOutcome {
    kCompleted,
    // The file was written, but some subdirectories could not be measured:
    // each is in the file with size 0 and the reason, and was noticed on
    // standard error.
    kCompletedWithProblems,
    // A failure was reported (letter B) and the tracking file left as it was
    // before the run; the program is to end with a failure status.
    kFatal,
};

// Reads TargetDir, OutputStyle, CommandText, TitleLine and MessageTitle. A
// subdirectory that cannot be measured is written with size 0 and the reason;
// any other failure, and a request to stop (platform.stop), is reported and
// ends the run. Opens the finished file in the text editor when CommandText
// is empty. `progress` may be empty.
RunOutcome RunSizeTrack(const Platform& platform, const ProgressCallback& progress = {});

}  // namespace sizewalk
