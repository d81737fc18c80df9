// Who the program is, and the texts built from that.
#pragma once

#include <string>

namespace sizewalk {

struct Identity {
    std::string product_name;
    int major = 0;
    int minor = 0;
    int revision = 0;
    std::string copyright;  // copyright sign, year and holder
    std::string contact;    // e-mail address and web site
    std::string website;    // the maker's web site, http
};

// The identity this build was configured with.
const Identity& BuiltInIdentity();

// "Sizewalk v2.0.2 ,  Copyright <copyright>"
std::string ComposeTitleLine(const Identity& identity);
// "Sizewalk    <copyright>"
std::string ComposeMessageTitle(const Identity& identity);

// How to run the program unattended, lines joined by CR LF.
std::string HelpText();

// The About box: the title line, the edition, the terms and how to reach the
// maker, lines joined by CR LF.
std::string AboutText(const std::string& title_line, const std::string& contact);

}  // namespace sizewalk
