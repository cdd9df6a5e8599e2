// Shared by the export tests: a scratch working folder, files that cannot be
// written even by a privileged process, a cap on file sizes that makes
// writes fail as on a full disk, and a viewer started on a data file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/files.h"
#include "tests/support/test_backend.h"

namespace exporttest {

// Names of the entries of a folder, hidden ones included, sorted.
std::vector<std::string> EntriesOf(const std::string& folder);

// A fresh scratch folder that is the working directory while it lives;
// removed with everything in it afterwards.
struct WorkFolder {
    std::string path;
    std::string previous;
    WorkFolder();
    ~WorkFolder();
    std::string File(const std::string& name) const { return path + kPathSeparator + name; }
    std::vector<std::string> Entries() const { return EntriesOf(path); }
};

std::vector<uint8_t> ReadAll(const std::string& path);
void WriteAll(const std::string& path, const std::vector<uint8_t>& bytes);

// Makes a file or folder impossible to write into, also for root (through
// the immutable flag); false when the file system cannot do that.
bool LockAgainstWriting(const std::string& path);
void Unlock(const std::string& path);
// The system's reason for a refused write into what LockAgainstWriting locked.
std::string LockedReason();

// The reason given when a folder stands where a file is to be saved.
std::string FolderReason();
// The reason the system gives when a file is to be made in a missing folder.
std::string MissingFolderReason();

// While it lives, files this process writes cannot grow past the limit.
// Only POSIX systems have such a limit: tests of write errors skip without it.
#ifdef _WIN32
#define SKIP_WITHOUT_FILE_SIZE_CAP() GTEST_SKIP() << "Windows has no per-process limit on file sizes"
#else
#define SKIP_WITHOUT_FILE_SIZE_CAP() (void)0
#endif
struct FileSizeCap {
    explicit FileSizeCap(long bytes);
    ~FileSizeCap();
    unsigned long savedSoft;
    void (*savedHandler)(int);
};

// Starts the full viewer on the test back end with the bytes loaded from
// a file of that name in the working folder.
TestBackend& StartWithData(const WorkFolder& folder, const std::vector<uint8_t>& data,
                           const std::string& name = "data.bin");

}  // namespace exporttest
