// Stands in for sizewalk-window: appends its arguments to the file that
// SIZEWALK_TEST_RECORD names, and complains on standard error as Qt does.
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    std::fputs("QStandardPaths: XDG_RUNTIME_DIR not set, defaulting to '/tmp/runtime-root'\n",
               stderr);
    const char* record = std::getenv("SIZEWALK_TEST_RECORD");
    std::FILE* file = record != nullptr ? std::fopen(record, "a") : nullptr;
    if (file == nullptr) {
        return 1;
    }
    for (int i = 1; i < argc; ++i) {
        std::fprintf(file, "%s|", argv[i]);
    }
    std::fclose(file);
    return 0;
}
