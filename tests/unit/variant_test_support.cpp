#include "tests/unit/variant_test_support.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csetjmp>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include <jpeglib.h>

namespace variant_test {
namespace {

// Clears the immutable flag where one was set, so that the folder can go.
void ClearImmutable(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK);
    if (fd < 0) return;
    int flags = 0;
    if (ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 && (flags & FS_IMMUTABLE_FL)) {
        flags &= ~FS_IMMUTABLE_FL;
        ioctl(fd, FS_IOC_SETFLAGS, &flags);
    }
    close(fd);
}

void RemoveTree(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return;
    if (S_ISDIR(st.st_mode)) {
        chmod(path.c_str(), 0700);
        if (DIR* d = opendir(path.c_str())) {
            std::vector<std::string> names;
            while (dirent* e = readdir(d)) {
                std::string n = e->d_name;
                if (n != "." && n != "..") names.push_back(n);
            }
            closedir(d);
            for (const std::string& n : names) RemoveTree(path + "/" + n);
        }
        rmdir(path.c_str());
    } else {
        if (S_ISREG(st.st_mode)) ClearImmutable(path);
        unlink(path.c_str());
    }
}

struct DecodeErrors {
    jpeg_error_mgr standard;
    std::jmp_buf jump;
};

[[noreturn]] void DecodeFailed(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<DecodeErrors*>(cinfo->err)->jump, 1); }
void Quiet(j_common_ptr) {}

bool Decode(FILE* in, DecodedJpeg& out) {
    jpeg_decompress_struct cinfo;
    DecodeErrors errors;
    cinfo.err = jpeg_std_error(&errors.standard);
    errors.standard.error_exit = DecodeFailed;
    errors.standard.output_message = Quiet;
    jpeg_create_decompress(&cinfo);
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_stdio_src(&cinfo, in);
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    out.width = static_cast<int>(cinfo.output_width);
    out.height = static_cast<int>(cinfo.output_height);
    out.components = cinfo.num_components;
    out.rgb.assign(static_cast<size_t>(out.width) * out.height * 3, 0);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = &out.rgb[static_cast<size_t>(cinfo.output_scanline) * out.width * 3];
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

}  // namespace

ScratchFolder::ScratchFolder() {
    char pattern[] = "/tmp/vexelor-variant-XXXXXX";
    if (!mkdtemp(pattern)) throw std::runtime_error("no scratch folder");
    path = pattern;
}

ScratchFolder::~ScratchFolder() { RemoveTree(path); }

std::vector<std::string> ScratchFolder::Entries() const {
    std::vector<std::string> names;
    if (DIR* d = opendir(path.c_str())) {
        while (dirent* e = readdir(d)) {
            std::string n = e->d_name;
            if (n != "." && n != "..") names.push_back(n);
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool MakeReadOnly(const std::string& path) {
    if (chmod(path.c_str(), 0444) != 0) return false;
    if (geteuid() != 0) return true;
    // Root writes through permission bits; the immutable flag stops it too.
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK);
    if (fd < 0) return false;
    int flags = 0;
    bool ok = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags |= FS_IMMUTABLE_FL;
    ok = ok && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    close(fd);
    return ok;
}

void MakeWritable(const std::string& path) {
    ClearImmutable(path);
    chmod(path.c_str(), 0644);
}

FileSizeLimit::FileSizeLimit(long bytes) {
    rlimit r;
    getrlimit(RLIMIT_FSIZE, &r);
    savedSoft = static_cast<long>(r.rlim_cur);
    savedHard = static_cast<long>(r.rlim_max);
    // Past the limit the kernel sends SIGXFSZ, which would end the test.
    savedHandler = std::signal(SIGXFSZ, SIG_IGN);
    r.rlim_cur = static_cast<rlim_t>(bytes);
    setrlimit(RLIMIT_FSIZE, &r);
}

FileSizeLimit::~FileSizeLimit() {
    rlimit r;
    r.rlim_cur = static_cast<rlim_t>(savedSoft);
    r.rlim_max = static_cast<rlim_t>(savedHard);
    setrlimit(RLIMIT_FSIZE, &r);
    std::signal(SIGXFSZ, savedHandler);
}

const JpegSegment* JpegLayout::Find(uint8_t marker) const {
    for (const JpegSegment& s : segments)
        if (s.marker == marker) return &s;
    return nullptr;
}

std::vector<uint8_t> JpegLayout::Markers() const {
    std::vector<uint8_t> m;
    for (const JpegSegment& s : segments) m.push_back(s.marker);
    return m;
}

JpegLayout ParseJpeg(const std::vector<uint8_t>& f) {
    JpegLayout layout;
    size_t at = 0;
    if (f.size() < 4 || f[0] != 0xFF || f[1] != 0xD8) return layout;
    layout.segments.push_back({0xD8, {}});
    at = 2;
    while (at + 1 < f.size()) {
        if (f[at] != 0xFF) return layout;
        const uint8_t marker = f[at + 1];
        at += 2;
        if (marker == 0xD9) {
            layout.segments.push_back({0xD9, {}});
            layout.wellFormed = at == f.size();
            return layout;
        }
        if (at + 2 > f.size()) return layout;
        const size_t length = (static_cast<size_t>(f[at]) << 8) | f[at + 1];
        if (length < 2 || at + length > f.size()) return layout;
        layout.segments.push_back({marker, std::vector<uint8_t>(f.begin() + at + 2, f.begin() + at + length)});
        at += length;
        if (marker == 0xDA) {
            // Entropy-coded data up to the next marker that is not a stuffed
            // zero or a restart marker.
            while (at + 1 < f.size()) {
                if (f[at] == 0xFF && f[at + 1] != 0x00) {
                    if (f[at + 1] >= 0xD0 && f[at + 1] <= 0xD7) {
                        ++layout.restartMarkers;
                        at += 2;
                        continue;
                    }
                    break;
                }
                ++at;
            }
        }
    }
    return layout;
}

DecodedJpeg DecodeJpeg(const std::string& path) {
    DecodedJpeg out;
    FILE* in = std::fopen(path.c_str(), "rb");
    if (!in) return out;
    out.ok = Decode(in, out);
    std::fclose(in);
    return out;
}

int LargestDifference(const DecodedJpeg& decoded, const CanvasImage& picture, int x0, int y0, int x1, int y1) {
    int largest = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            const Rgb a = decoded.At(x, y), b = ReadPixel(picture, x, y);
            largest = std::max({largest, std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
        }
    return largest;
}

double MeanDifference(const DecodedJpeg& decoded, const CanvasImage& picture) {
    double sum = 0;
    for (size_t i = 0; i < sizeof picture.pixels; ++i) sum += std::abs(decoded.rgb[i] - picture.pixels[i]);
    return sum / sizeof picture.pixels;
}

}  // namespace variant_test
