// Files and memory as the viewer needs them; no window system involved.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// Separator of folders in paths on this platform.
#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

// Size of the file at the path: -1 when nothing is there, -2 for a folder.
int64_t FileSize(const std::string& path);

// Makes the folder the current directory; false when it cannot be entered.
bool SetCurrentDirectory(const std::string& folder);
std::string CurrentDirectory();
// The path as seen from the current directory, made absolute so that it still
// names the same file after the current directory changes. An absolute path
// and the empty text come back unchanged (also when the current directory
// cannot be told).
std::string AbsolutePath(const std::string& path);

// A zero-filled block of the size, or nullptr (also for sizes of 0 or less).
uint8_t* AllocateZeroedBlock(int64_t size);
void ReleaseBlock(uint8_t* block, int64_t size);

// Opens an existing file for reading: a handle >= 0, or -1.
int OpenForReading(const std::string& path);
// Reads up to size bytes, in as many requests as the system needs; returns
// the number read (short at end of file or on an error).
int64_t ReadInto(int handle, uint8_t* block, int64_t size);
void CloseFile(int handle);

// Writes a new file in place of the target without ever losing the old one:
// the bytes go to a temporary file in the target's folder, which replaces the
// target only once it is complete.
struct SafeWriter;
// Begins a replacement of the target; nullptr with the reason when the target
// cannot be written (a read-only file, a folder, a folder that is missing).
SafeWriter* BeginSafeWrite(const std::string& target, std::string* reason);
bool SafeWrite(SafeWriter* w, const void* bytes, size_t count);
FILE* SafeWriterStream(SafeWriter* w);
// Completes the replacement; false with the reason (and the old file kept).
bool CommitSafeWrite(SafeWriter* w, std::string* reason);
// Abandons the replacement; the old file stays as it was.
void AbortSafeWrite(SafeWriter* w);

// The first argument the program was started with ("" when none), as UTF-8.
// On Windows it comes from the wide command line, so that any name works.
std::string FirstCommandLineArgument(int argc, char** argv);
