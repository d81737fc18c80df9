#include "common/identity.h"

#include "common/identity_config.h"
#include "common/tracking_file/layout.h"

namespace sizewalk {

const Identity& BuiltInIdentity() {
    static const Identity identity{SIZEWALK_PRODUCT_NAME,  SIZEWALK_VERSION_MAJOR,
                                   SIZEWALK_VERSION_MINOR, SIZEWALK_VERSION_REVISION,
                                   SIZEWALK_COPYRIGHT,     SIZEWALK_CONTACT,
                                   SIZEWALK_WEBSITE};
    return identity;
}

std::string ComposeTitleLine(const Identity& identity) {
    return identity.product_name + " v" + std::to_string(identity.major) + "." +
           std::to_string(identity.minor) + "." + std::to_string(identity.revision) +
           std::string(kTitleCopyright) + identity.copyright;
}

std::string ComposeMessageTitle(const Identity& identity) {
    return identity.product_name + "    " + identity.copyright;
}

std::string HelpText() {
#ifdef _WIN32
    const char* example = "  SIZEWALK 2 C:\\  ";
    const char* example_text =
        "This will process C:\\ directory with 'Write data to a new file' option. The path "
        "parameter in command line must end with ' \\ '.";
#else
    const char* example = "  sizewalk 2 /home/  ";
    const char* example_text =
        "This will process /home/ directory with 'Write data to a new file' option. The path "
        "parameter in command line must end with ' / '.";
#endif
    return std::string(
               "This simple administrative utility creates/updates a sole size tracking file for "
               "upper level subdirs within the directory it processes. You should have a "
               "permission to write to the processed dir's root. That's for track ASCII file "
               "creating only! The operation is absolutely safe. It's also recommended to have "
               "administrative permissions when processing a network drive.") +
           "\r\n\r\n" +
           "You may want to run the program from the command line with parameters (for "
           "example, from scheduler), like:" +
           "\r\n" + example + "\r\n" + example_text;
}

std::string AboutText(const std::string& title_line, const std::string& contact) {
#ifdef _WIN32
    const char* edition = "Edition: 'All Windows'";
#else
    const char* edition = "Edition: 'Linux'";
#endif
    return title_line + "\r\n" + edition + "\r\n" + "\r\n" + "Freeware." + "\r\n" +
           "Sizewalk is provided as is, without warranty of any kind." + "\r\n" + "\r\n" +
           "Feel free to contact us by " + contact;
}

}  // namespace sizewalk
