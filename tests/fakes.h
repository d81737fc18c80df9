// Replacements for the platform services, for tests that must not touch the
// operating system or that need a failure on demand.
#pragma once

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "history/model.h"
#include "platform/history_system.h"
#include "platform/platform.h"

namespace sizewalk::testing {

// The lines, each ended with CR LF as the tracking files have them.
inline std::string Lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line + "\r\n";
    }
    return text;
}

// A directory whose subdirectories have given sizes or failures.
class FakeFolderService final : public FolderService {
  public:
    struct Sub {
        std::string name;
        Outcome<ByteCount> size;
    };
    std::map<std::string, std::vector<Sub>> folders;  // by path as the run asks for it
    // Called as each size is taken, with the run's progress callback.
    std::function<void(const ProgressCallback&)> measuring;

    Outcome<std::unique_ptr<Directory>> OpenDirectory(const std::string& path) override {
        if (folders.count(path) == 0) {
            return MakeError(errnum::kPathNotFound, path);
        }
        return std::unique_ptr<Directory>(std::make_unique<Named>(path));
    }
    Outcome<std::unique_ptr<FolderListing>> GetFolder(const Directory& directory,
                                                      ProgressCallback progress) override {
        const auto it = folders.find(directory.path());
        auto listing = std::make_unique<Listing>();
        listing->measure = [this, progress] {
            if (measuring) {
                measuring(progress);
            }
        };
        for (const Sub& sub : it->second) {
            listing->names.push_back(sub.name);
            listing->sizes.push_back(sub.size);
        }
        return std::unique_ptr<FolderListing>(std::move(listing));
    }

    struct Named final : Directory {
        explicit Named(std::string path) : name(std::move(path)) {}
        const std::string& path() const override { return name; }
        std::string name;
    };

  private:
    struct Listing final : FolderListing {
        std::vector<std::string> names;
        std::vector<Outcome<ByteCount>> sizes;
        std::function<void()> measure;
        const std::vector<std::string>& SubFolders() const override { return names; }
        Outcome<ByteCount> Size(std::size_t index) override {
            measure();
            return sizes.at(index);
        }
    };
};

// Files in memory, as the bytes a real file would hold (CR LF included). A
// file dropped without a successful Write stays as it was.
class MemoryFileService final : public FileService {
  public:
    std::map<std::string, std::string> contents;  // by path
    Status fail_open;
    Status fail_write;
    // Files in a code page of ASCII alone, as Windows writes them: the
    // writer escapes every other character.
    bool ascii_only = false;

    bool Holds(std::string_view c) const override { return !ascii_only || (c[0] & 0x80) == 0; }
    Status CheckWritable(const Directory&, const std::string&) override { return fail_open; }
    Outcome<std::unique_ptr<OutputFile>> Open(const Directory& directory, const std::string& name,
                                              OpenMode mode) override {
        if (fail_open) {
            return *fail_open;
        }
        const std::string path = directory.path() + name;
        const auto it = contents.find(path);
        const bool is_new =
            mode == OpenMode::kReplace || it == contents.end() || it->second.empty();
        return std::unique_ptr<OutputFile>(std::make_unique<File>(*this, path, is_new, mode));
    }

  private:
    class File final : public OutputFile {
      public:
        File(MemoryFileService& owner, std::string path, bool is_new, OpenMode mode)
            : owner_(owner), path_(std::move(path)), is_new_(is_new), mode_(mode) {}
        bool IsNew() const override { return is_new_; }
        Status Write(const std::vector<std::string>& lines) override {
            if (!owner_.fail_write) {
                std::string& text = owner_.contents[path_];
                if (mode_ == OpenMode::kReplace) {
                    text.clear();
                }
                text += Lines(lines);
            }
            return owner_.fail_write;
        }

      private:
        MemoryFileService& owner_;
        std::string path_;
        bool is_new_;
        OpenMode mode_;
    };
};

struct ShownMessage {
    std::string text;
    MessageIcon icon;
    std::string title;
};

class RecordingMessageBox final : public MessageBoxService {
  public:
    std::vector<ShownMessage> shown;
    std::vector<std::string> notices;
    void Show(const std::string& text, MessageIcon icon, const std::string& title) override {
        shown.push_back({text, icon, title});
    }
    void Notice(const std::string& line) override { notices.push_back(line); }
};

class FixedClock final : public Clock {
  public:
    LocalTime now{2003, 10, 5, 10, 30, 6};
    int reads = 0;
    LocalTime Now() override {
        ++reads;
        return now;
    }
};

class RecordingEditor final : public TextEditor {
  public:
    std::vector<std::string> opened;
    Status Open(const std::string& path) override {
        opened.push_back(path);
        return std::nullopt;
    }
};

// All fakes together, with the C locale's separators.
struct FakePlatform {
    FakeFolderService folders;
    MemoryFileService files;
    RecordingMessageBox messages;
    FixedClock clock;
    RecordingEditor editor;
    LocaleSeparators locale;

    StopFlag stop{0};

    Platform Get() { return Platform{folders, files, messages, clock, editor, locale, &stop}; }
};

// The size history's system in memory: tracking files by full path (Windows
// joins a name with its own separator), any of them listed as another kind,
// held by a run or someone else's (by name); pages and replaced files kept by
// path.
class MemoryHistory final : public HistorySystem {
  public:
    explicit MemoryHistory(std::map<std::string, std::string>& files) : files(files) {}
    std::map<std::string, std::string>& files;
    std::map<std::string, std::string> written;
    std::map<std::string, FileKind> kinds;
    std::set<std::string> busy, foreign;
    Status failure;  // of every listing
    LocalTime now{2026, 12, 1, 12, 0, 0};
    std::optional<ByteCount> free = ByteCount{1} << 40;
    std::map<std::string, std::uint64_t> devices;  // by path; 0 where not given

    Outcome<std::vector<ListedFile>> ListFiles(const std::string& dir) override {
        std::vector<ListedFile> names;
        for (const auto& [path, content] : files) {
            const std::string name = path.substr(std::min(path.size(), dir.size()));
            if (path.starts_with(dir.substr(0, dir.size() - 1)) && !name.empty() &&
                name.find('/') == std::string::npos) {
                names.push_back({name, kinds.contains(name) ? kinds[name] : FileKind::kRegular});
            }
        }
        return failure ? Outcome<std::vector<ListedFile>>(*failure) : names;
    }
    Outcome<std::unique_ptr<InputFile>> OpenForReading(const std::string& path,
                                                       std::chrono::milliseconds) override {
        std::string key = path;
        std::replace(key.begin(), key.end(), '\\', '/');
        const std::string name = key.substr(key.rfind('/') + 1);
        if (busy.contains(name)) {
            return Error{errnum::kPathFileAccess, path + ": " + std::string(kFileBusy)};
        }
        return std::unique_ptr<InputFile>(
            std::make_unique<Input>(files.at(key), !foreign.contains(name)));
    }
    Outcome<std::string> WriteTemporaryFile(std::string_view suffix,
                                            std::string_view content) override {
        const std::string path = "/tmp/page" + std::to_string(pages_++) + std::string(suffix);
        written[path] = content;
        return path;
    }
    Outcome<std::unique_ptr<ReplacementFile>> Replace(const std::string& path) override {
        return std::unique_ptr<ReplacementFile>(std::make_unique<Replacement>(written[path]));
    }
    std::int64_t EpochSeconds(const LocalTime& t) override {
        return std::int64_t{history::DaysFromCivil(t.year, t.month, t.day)} * 86400 +
               t.hour * 3600 + t.minute * 60 + t.second;
    }
    LocalTime Now() override { return now; }
    Outcome<std::optional<ByteCount>> FreeSpace(const std::string&) override { return free; }
    std::optional<FileSystemKey> FileSystemOf(const std::string& path) override {
        return FileSystemKey{devices.contains(path) ? devices.at(path) : 0};
    }

  private:
    struct Input final : InputFile {
        Input(std::string_view bytes, bool trusted) : bytes(bytes), trusted(trusted) {}
        std::string_view bytes;
        bool trusted;
        Outcome<std::size_t> Read(char* buffer, std::size_t size) override {
            const std::size_t n = bytes.copy(buffer, size);
            bytes.remove_prefix(n);
            return n;
        }
        bool TrustedOwner() const override { return trusted; }
    };
    // What it writes stands in the file only once committed.
    struct Replacement final : ReplacementFile {
        explicit Replacement(std::string& file) : file(file) {}
        std::string& file;
        std::string text;
        Status Write(std::string_view bytes) override {
            text += bytes;
            return std::nullopt;
        }
        Status Commit() override {
            file = text;
            return std::nullopt;
        }
    };
    int pages_ = 0;
};

}  // namespace sizewalk::testing
