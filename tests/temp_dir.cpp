#include "temp_dir.h"

#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <fstream>
#include <sstream>
#include <system_error>

extern char** environ;

namespace sizewalk::testing {

TempDir::TempDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "sizewalk-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::system_error(errno, std::generic_category(), "mkdtemp");
    }
    path_ = pattern;
    // Reachable by the unprivileged user some tests run as.
    std::filesystem::permissions(path_, std::filesystem::perms::all);
}

TempDir::~TempDir() {
    std::error_code ignored;
    // Directories a test made unreadable must be opened up to be removed.
    for (auto it = std::filesystem::recursive_directory_iterator(
             path_, std::filesystem::directory_options::skip_permission_denied, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
        if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ignored);
        }
    }
    std::filesystem::remove_all(path_, ignored);
}

void TempDir::File(const std::string& relative, std::uintmax_t size) const {
    const std::filesystem::path file = path_ / relative;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream{file};
    std::filesystem::resize_file(file, size);
}

std::string Measure(const std::string& dir, walk::WalkOptions options,
                    const ProgressCallback& progress) {
    PosixFolderService service(std::move(options));
    auto listing = service.GetFolder(dir, progress);
    if (!listing.ok()) {
        return "GetFolder: " + listing.error().description;
    }
    std::string result;
    for (std::size_t i = 0; i < listing.value()->SubFolders().size(); ++i) {
        const auto size = listing.value()->Size(i);
        result +=
            listing.value()->SubFolders()[i] + "\t" +
            (size.ok() ? std::to_string(size.value())
                       : std::to_string(size.error().number) + " " + size.error().description) +
            "\n";
    }
    return result;
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

Result RunProgram(std::vector<std::string> argv) {
    TempDir out_dir;
    const std::string out = out_dir.path() + "out";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::vector<char*> args;
    for (std::string& a : argv) {
        args.push_back(a.data());
    }
    args.push_back(nullptr);
    std::vector<char*> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string_view entry(*e);
        if (!entry.starts_with("DISPLAY=") && !entry.starts_with("WAYLAND_DISPLAY=")) {
            env.push_back(*e);
        }
    }
    env.push_back(nullptr);
    pid_t pid = 0;
    Result result;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), env.data()) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        result.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    result.output = ReadFile(out);
    return result;
}

std::vector<std::pair<std::string, std::string>> MakeTree(const std::string& script,
                                                          const std::string& root,
                                                          std::vector<std::string> options) {
    const std::string expected_file = root + ".expected";
    std::vector<std::string> argv = {"python3", script, root, "--expected", expected_file};
    argv.insert(argv.end(), options.begin(), options.end());
    std::vector<std::pair<std::string, std::string>> expected;
    if (RunProgram(argv).exit_status != 0) {
        return expected;
    }
    // Records of bytes, tab, name, NUL: a name may hold a tab or a line break.
    std::istringstream records(ReadFile(expected_file));
    for (std::string record; std::getline(records, record, '\0');) {
        const std::size_t tab = record.find('\t');
        expected.emplace_back(record.substr(tab + 1), record.substr(0, tab));
    }
    return expected;
}

}  // namespace sizewalk::testing
