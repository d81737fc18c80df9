// Replacements for the platform services, for tests that must not touch the
// operating system or that need a failure on demand.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace sizewalk::testing {

// A directory whose subdirectories have given sizes or failures.
class FakeFolderService final : public FolderService {
  public:
    struct Sub {
        std::string name;
        Outcome<std::uint64_t> size;
    };
    std::map<std::string, std::vector<Sub>> folders;  // by path as the run asks for it

    Outcome<std::unique_ptr<FolderListing>> GetFolder(const std::string& path,
                                                      ProgressCallback) override {
        const auto it = folders.find(path);
        if (it == folders.end()) {
            return MakeError(errnum::kPathNotFound, path);
        }
        return std::unique_ptr<FolderListing>(std::make_unique<Listing>(it->second));
    }

  private:
    class Listing final : public FolderListing {
      public:
        explicit Listing(std::vector<Sub> subs) : subs_(std::move(subs)) {
            for (const Sub& sub : subs_) {
                names_.push_back(sub.name);
            }
        }
        const std::vector<std::string>& SubFolders() const override { return names_; }
        Outcome<std::uint64_t> Size(std::size_t index) override { return subs_.at(index).size; }

      private:
        std::vector<Sub> subs_;
        std::vector<std::string> names_;
    };
};

// Files in memory, as the bytes a real file would hold (CR LF included).
class MemoryFileService final : public FileService {
  public:
    std::map<std::string, std::string> contents;
    // The write with this number (counted from 1 over all files) fails.
    int fail_write_number = 0;
    Status fail_open;
    Status fail_close;
    int writes = 0;

    Outcome<bool> Exists(const std::string& path) override { return contents.count(path) > 0; }

    Outcome<std::unique_ptr<OutputFile>> Open(const std::string& path, OpenMode mode) override {
        if (fail_open) {
            return *fail_open;
        }
        if (mode == OpenMode::kOutput || contents.count(path) == 0) {
            contents[path].clear();
        }
        return std::unique_ptr<OutputFile>(std::make_unique<File>(*this, contents[path]));
    }

  private:
    class File final : public OutputFile {
      public:
        File(MemoryFileService& owner, std::string& text) : owner_(owner), text_(text) {}
        Status WriteLine(std::string_view line) override {
            if (++owner_.writes == owner_.fail_write_number) {
                return MakeError(errnum::kDiskFull, "fake");
            }
            text_.append(line).append("\r\n");
            return std::nullopt;
        }
        Status Close() override { return owner_.fail_close; }

      private:
        MemoryFileService& owner_;
        std::string& text_;
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
    void Show(const std::string& text, MessageIcon icon, const std::string& title) override {
        shown.push_back({text, icon, title});
    }
};

class FixedClock final : public Clock {
  public:
    LocalTime now{2003, 10, 5, 10, 30, 6};
    LocalTime Now() override { return now; }
};

class RecordingEditor final : public TextEditor {
  public:
    std::vector<std::string> opened;
    Status failure;
    Status Open(const std::string& path) override {
        opened.push_back(path);
        return failure;
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

    Platform Get() { return Platform{folders, files, messages, clock, editor, locale}; }
};

}  // namespace sizewalk::testing
