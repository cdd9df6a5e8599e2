// Files, memory and the command line on Windows. Paths are UTF-8 everywhere in
// the program and become UTF-16 at every call into the system, so that any
// file name works whatever the code page.
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cwchar>

#include "platform/files.h"

// windows.h names its own SetCurrentDirectory (a macro for the W function).
#undef SetCurrentDirectory

namespace {

std::wstring Wide(const std::string& text) {
    if (text.empty()) return std::wstring();
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], n);
    return wide;
}

std::string Utf8(const wchar_t* wide, size_t length) {
    if (length == 0) return std::string();
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(length), &text[0], n, nullptr, nullptr);
    return text;
}

std::string Utf8(const std::wstring& wide) { return Utf8(wide.data(), wide.size()); }

// The system's text for an error code, without the closing period and line end.
std::string SystemReason(DWORD code) {
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string reason = n ? Utf8(text, n) : std::string();
    if (text) LocalFree(text);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' ' ||
                               reason.back() == '.'))
        reason.pop_back();
    if (reason.empty()) reason = "error " + std::to_string(code);
    return reason;
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// Names that open a device rather than a file in every folder (CON, NUL,
// COM1, ...), also with an extension or trailing dots and blanks, and paths
// into the device namespace (\\.\...).
bool IsDeviceName(const std::wstring& path) {
    if (path.size() >= 4 && IsSeparator(path[0]) && IsSeparator(path[1]) && path[2] == L'.' && IsSeparator(path[3]))
        return true;
    size_t start = path.size();
    while (start > 0 && !IsSeparator(path[start - 1]) && path[start - 1] != L':') --start;
    std::wstring name = path.substr(start);
    name = name.substr(0, name.find(L'.'));
    name = name.substr(0, name.find(L':'));
    while (!name.empty() && name.back() == L' ') name.pop_back();
    for (wchar_t& c : name) c = static_cast<wchar_t>(towupper(c));
    static const wchar_t* const kDevices[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$", L"CLOCK$"};
    for (const wchar_t* device : kDevices)
        if (name == device) return true;
    return name.size() == 4 && (name.compare(0, 3, L"COM") == 0 || name.compare(0, 3, L"LPT") == 0) &&
           name[3] >= L'1' && name[3] <= L'9';
}

}  // namespace

int64_t FileSize(const std::string& path) {
    if (path.empty()) return -1;
    const std::wstring wide = Wide(path);
    // A device is there but is no file: size 0, and it will not open.
    if (IsDeviceName(wide)) return 0;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) return -1;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return -2;
    return static_cast<int64_t>((static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}

bool SetCurrentDirectory(const std::string& folder) {
    return !folder.empty() && SetCurrentDirectoryW(Wide(folder).c_str()) != 0;
}

std::string CurrentDirectory() {
    const DWORD n = GetCurrentDirectoryW(0, nullptr);
    if (n == 0) return ".";
    std::wstring buf(n, L'\0');
    const DWORD got = GetCurrentDirectoryW(n, &buf[0]);
    if (got == 0 || got >= n) return ".";
    buf.resize(got);
    return Utf8(buf);
}

// A relative path as seen from the current directory, made whole by the
// system (drive-relative forms such as "C:x" and "\\x" included).
std::string AbsolutePath(const std::string& path) {
    if (path.empty()) return path;
    const std::wstring wide = Wide(path);
    const DWORD n = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (n == 0) return path;
    std::wstring full(n, L'\0');
    const DWORD got = GetFullPathNameW(wide.c_str(), n, &full[0], nullptr);
    if (got == 0 || got >= n) return path;
    full.resize(got);
    return Utf8(full);
}

uint8_t* AllocateZeroedBlock(int64_t size) {
    if (size <= 0 || static_cast<uint64_t>(size) > SIZE_MAX) return nullptr;
    // Committed pages come from the system already zero.
    return static_cast<uint8_t*>(
        VirtualAlloc(nullptr, static_cast<SIZE_T>(size), MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
}

void ReleaseBlock(uint8_t* block, int64_t size) {
    if (block && size > 0) VirtualFree(block, 0, MEM_RELEASE);
}

// Others may read the file meanwhile, nobody may write it: a file that some
// program holds open for writing does not open. Only files on a disk are
// files of bytes; device names (CON, NUL, ...) are refused before they are
// opened, and pipes, consoles and other devices once the handle tells, before
// anything could wait on them.
int OpenForReading(const std::string& path, int64_t* size) {
    const std::wstring wide = Wide(path);
    if (wide.empty()) return -1;
    if (IsDeviceName(wide)) return kNotAFile;
    // Opening never waits, not even on a pipe (a busy one refuses at once);
    // only reading one would.
    HANDLE h = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) return -1;
    if (GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        return kNotAFile;
    }
    BY_HANDLE_FILE_INFORMATION info;
    LARGE_INTEGER bytes;
    if (!GetFileInformationByHandle(h, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
        !GetFileSizeEx(h, &bytes)) {
        CloseHandle(h);
        return -1;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(h);
        return -1;
    }
    *size = bytes.QuadPart;
    return fd;
}

int64_t ReadInto(int handle, uint8_t* block, int64_t size) {
    HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(handle));
    if (h == INVALID_HANDLE_VALUE) return 0;
    int64_t done = 0;
    while (done < size) {
        // One request carries at most a DWORD's worth.
        const DWORD chunk = static_cast<DWORD>(std::min<int64_t>(size - done, 1 << 30));
        DWORD got = 0;
        if (!ReadFile(h, block + done, chunk, &got, nullptr) || got == 0) break;
        done += got;
    }
    return done;
}

void CloseFile(int handle) {
    if (handle >= 0) _close(handle);
}

std::string FirstCommandLineArgument(int, char**) {
    // The narrow arguments went through the code page; the wide command line
    // holds the name as typed.
    int count = 0;
    wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!args) return std::string();
    std::string first = count > 1 ? Utf8(args[1], std::wcslen(args[1])) : std::string();
    LocalFree(args);
    return first;
}

// --- Safe replacement of a file ----------------------------------------------------

struct SafeWriter {
    std::wstring target;
    std::wstring temp;
    FILE* stream = nullptr;
    DWORD keptAttributes = 0;
    bool failed = false;
    int savedErrno = 0;
};

namespace {

// Where a link points: the file that is to be replaced, not the link.
std::wstring FinalPath(const std::wstring& path) {
    HANDLE h = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return path;
    std::wstring final(MAX_PATH, L'\0');
    DWORD n = GetFinalPathNameByHandleW(h, &final[0], static_cast<DWORD>(final.size()), FILE_NAME_NORMALIZED);
    if (n >= final.size()) {
        final.resize(n + 1);
        n = GetFinalPathNameByHandleW(h, &final[0], static_cast<DWORD>(final.size()), FILE_NAME_NORMALIZED);
    }
    CloseHandle(h);
    if (n == 0 || n >= final.size()) return path;
    final.resize(n);
    return final;
}

// A name for the temporary file beside the target: "<folder>\.<name>.<n>".
std::wstring TempNameBeside(const std::wstring& target, unsigned attempt) {
    size_t cut = target.size();
    while (cut > 0 && !IsSeparator(target[cut - 1]) && target[cut - 1] != L':') --cut;
    wchar_t suffix[40];
    swprintf(suffix, 40, L".%08lx%04x", static_cast<unsigned long>(GetCurrentProcessId()),
             (GetTickCount() + attempt * 7919u) & 0xffffu);
    return target.substr(0, cut) + L"." + target.substr(cut) + suffix;
}

}  // namespace

SafeWriter* BeginSafeWrite(const std::string& targetPath, std::string* reason) {
    if (targetPath.empty()) {
        *reason = "No file name given";
        return nullptr;
    }
    std::wstring target = Wide(targetPath);
    if (IsDeviceName(target)) {
        *reason = "It is a device, not a file";
        return nullptr;
    }
    DWORD kept = 0;
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) target = FinalPath(target);
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            *reason = "It is a folder";
            return nullptr;
        }
        if (attributes & FILE_ATTRIBUTE_READONLY) {
            *reason = "The file is read-only";
            return nullptr;
        }
        // A replacement would pass over whatever keeps the file from being
        // written (its permissions, another program holding it): ask first.
        HANDLE probe = CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (probe == INVALID_HANDLE_VALUE) {
            *reason = SystemReason(GetLastError());
            return nullptr;
        }
        CloseHandle(probe);
        kept = attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
    }
    HANDLE h = INVALID_HANDLE_VALUE;
    std::wstring temp;
    DWORD error = ERROR_FILE_EXISTS;
    for (unsigned attempt = 0; attempt < 100 && h == INVALID_HANDLE_VALUE && error == ERROR_FILE_EXISTS; ++attempt) {
        temp = TempNameBeside(target, attempt);
        h = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) error = GetLastError();
    }
    if (h == INVALID_HANDLE_VALUE) {
        *reason = SystemReason(error);
        return nullptr;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_WRONLY | _O_BINARY);
    FILE* stream = fd >= 0 ? _fdopen(fd, "wb") : nullptr;
    if (!stream) {
        *reason = std::strerror(errno);
        if (fd >= 0) _close(fd); else CloseHandle(h);
        DeleteFileW(temp.c_str());
        return nullptr;
    }
    auto* w = new SafeWriter;
    w->target = target;
    w->temp = temp;
    w->stream = stream;
    w->keptAttributes = kept;
    return w;
}

bool SafeWrite(SafeWriter* w, const void* bytes, size_t count) {
    if (w->failed) return false;
    if (count && std::fwrite(bytes, 1, count, w->stream) != count) {
        w->failed = true;
        w->savedErrno = errno;
    }
    return !w->failed;
}

FILE* SafeWriterStream(SafeWriter* w) { return w->stream; }

bool CommitSafeWrite(SafeWriter* w, std::string* reason) {
    std::string why;
    bool ok = !w->failed && std::fflush(w->stream) == 0 && !std::ferror(w->stream);
    if (!ok) why = std::strerror(w->failed ? w->savedErrno : (errno ? errno : EIO));
    if (ok) {
        // On the disk before it takes the target's place.
        HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(w->stream)));
        if (!FlushFileBuffers(h)) {
            ok = false;
            why = SystemReason(GetLastError());
        }
    }
    if (std::fclose(w->stream) != 0 && ok) {
        ok = false;
        why = std::strerror(errno);
    }
    if (ok && w->keptAttributes) SetFileAttributesW(w->temp.c_str(), w->keptAttributes);
    if (ok && !MoveFileExW(w->temp.c_str(), w->target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ok = false;
        why = SystemReason(GetLastError());
    }
    if (!ok) {
        DeleteFileW(w->temp.c_str());
        *reason = why;
    }
    delete w;
    return ok;
}

void AbortSafeWrite(SafeWriter* w, std::string* reason) {
    if (reason && (w->failed || std::ferror(w->stream)))
        *reason = std::strerror(w->failed && w->savedErrno ? w->savedErrno : EIO);
    std::fclose(w->stream);
    DeleteFileW(w->temp.c_str());
    delete w;
}
