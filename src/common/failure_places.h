// The places a failure is reported from. An error report ends with the
// place's letter and the error's number, "(Message B76)", so that a report
// read out over the telephone says where to look. The README's table of
// the letters is this list (a test compares them).
#pragma once

#include <array>
#include <string_view>

namespace sizewalk {

struct FailurePlace {
    char letter;
    std::string_view where;     // as the README says it
    std::string_view routines;  // those that report with the letter
};

inline constexpr FailurePlace kStartUp{'A', "start-up", "Main"};
inline constexpr FailurePlace kTrackingRun{'B', "the run", "RunSizeTrack"};
inline constexpr FailurePlace kCommandLine{'C', "reading the command line", "ParseCommandLine"};
inline constexpr FailurePlace kGo{'D', "Go", "btnGo_Click"};
inline constexpr FailurePlace kDriveChange{'E', "choosing a volume", "cmbDrive_Change"};
// One letter for two places, as the original program has it.
inline constexpr FailurePlace kWebSiteLink{'F', "the Web link", "lblWebSite_Click"};
inline constexpr FailurePlace kDirectoryChange{'F', "opening a directory in the list",
                                               "lstDir_Change, Form1::DirectoryOpened"};
inline constexpr FailurePlace kWindowLoad{'G', "opening the window", "Form_Load"};
inline constexpr FailurePlace kAbout{'H', "About", "lblAbout_Click"};
inline constexpr FailurePlace kHelp{'I', "Help", "lblHelp_Click"};
// The History link, which the original program does not have.
inline constexpr FailurePlace kHistoryLink{'J', "History", "lblHistory_Click"};

inline constexpr std::array kFailurePlaces = {
    kStartUp,         kTrackingRun, kCommandLine, kGo,   kDriveChange, kWebSiteLink,
    kDirectoryChange, kWindowLoad,  kAbout,       kHelp, kHistoryLink,
};

}  // namespace sizewalk
