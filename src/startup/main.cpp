// The sizewalk program without a window.
#include <clocale>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "startup/module1.h"

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    sizewalk::SystemPlatform system;
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    return sizewalk::Main(arguments, system.Get(), {});
}
