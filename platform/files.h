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

// What OpenForReading gives for an entry that is there but is no file of
// bytes: a pipe, a socket, a device. Such an entry is never waited on and
// never read; the handle is not open.
constexpr int kNotAFile = -2;
// Opens an existing file for reading without ever waiting: a handle >= 0,
// with the size the opened file itself reports (the file at the path may be
// exchanged meanwhile); kNotAFile for a pipe, socket or device; -1 when it
// cannot be opened (a folder, no permission, gone).
int OpenForReading(const std::string& path, int64_t* size);
// Reads up to size bytes, in as many requests as the system needs; returns
// the number read (short at end of file or on an error).
int64_t ReadInto(int handle, uint8_t* block, int64_t size);
void CloseFile(int handle);

// Writes a new file in place of the target without ever losing the old one:
// the bytes go to a temporary file in the folder of the file replaced, which
// takes its place only once it is complete and on the disk.
//
// The file replaced is the one the path leads to: a symbolic link (or a chain
// of them, relative ones read from the link's own folder) is followed to its
// final target, which is replaced in its own folder while the links stay as
// they are. A link that leads nowhere counts as no file: the new file is
// created where it points. The new file keeps the old one's permissions, and
// its owner and group where the process may set them; a new file gets the
// permissions a plain create would give it.
//
// Reasons are the system's own texts ("Permission denied", "No space left
// on device"), fit to follow a path and a colon in a message.
struct SafeWriter;
// Begins a replacement of the target; nullptr with the reason when the target
// cannot be written (a read-only file, a folder, a folder that is missing,
// links that go round in a circle).
SafeWriter* BeginSafeWrite(const std::string& target, std::string* reason);
bool SafeWrite(SafeWriter* w, const void* bytes, size_t count);
// The stream for encoders that write through stdio; its failed writes are
// reported by CommitSafeWrite and AbortSafeWrite like those of SafeWrite.
FILE* SafeWriterStream(SafeWriter* w);
// Completes the replacement (the new file flushed to the disk before it takes
// the old one's place, and the folder after); false with the reason, and the
// old file kept.
bool CommitSafeWrite(SafeWriter* w, std::string* reason);
// Abandons the replacement; the old file stays as it was. When a write had
// failed, reason (if given) receives why; otherwise it is left alone.
void AbortSafeWrite(SafeWriter* w, std::string* reason = nullptr);

// The first argument the program was started with ("" when none), as UTF-8.
// On Windows it comes from the wide command line, so that any name works.
std::string FirstCommandLineArgument(int argc, char** argv);
