// JPEG encoding of a picture with libjpeg, into a file that replaces its
// target only when complete.
#include "variant/jpeg_writer.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/files.h"

// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>

namespace {

// libjpeg's standard error manager with a way back into the writer.
struct JumpingErrorManager {
    jpeg_error_mgr standard;  // first: libjpeg hands back its address as cinfo->err
    std::jmp_buf jump;
};

// Fatal errors come back to the writer instead of ending the program.
[[noreturn]] void JumpBack(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<JumpingErrorManager*>(cinfo->err)->jump, 1);
}

// A GUI program has no console to print libjpeg's warnings on.
void KeepQuiet(j_common_ptr) {}

// The libjpeg calls proper; any of them may jump back out on a fatal error.
void CompressRows(jpeg_compress_struct& cinfo, FILE* out, const uint8_t* rows, int rowCount, int width,
                  int rowPitch, int qualityLevel, JSAMPLE* rowBuffer) {
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, out);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(rowCount);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    if (qualityLevel < 0) qualityLevel = 0;
    if (qualityLevel > 10) qualityLevel = 10;
    jpeg_set_quality(&cinfo, 10 * qualityLevel, FALSE);
    jpeg_start_compress(&cinfo, TRUE);
    JSAMPROW row[1] = {rowBuffer};
    for (int y = 0; y < rowCount; ++y) {
        // The picture is stored as red, green, blue already: a plain copy.
        std::memcpy(rowBuffer, rows + static_cast<size_t>(y) * static_cast<size_t>(rowPitch),
                    static_cast<size_t>(width) * 3);
        jpeg_write_scanlines(&cinfo, row, 1);
    }
    jpeg_finish_compress(&cinfo);
}

// Compresses the picture into the open stream; false after a fatal error.
bool Compress(FILE* out, const uint8_t* rows, int rowCount, int width, int rowPitch, int qualityLevel,
              JSAMPLE* rowBuffer) {
    // Zeroed first, so that destroying it is safe whenever the jump comes.
    jpeg_compress_struct cinfo;
    std::memset(&cinfo, 0, sizeof cinfo);
    JumpingErrorManager errors;
    cinfo.err = jpeg_std_error(&errors.standard);
    errors.standard.error_exit = JumpBack;
    errors.standard.output_message = KeepQuiet;
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    CompressRows(cinfo, out, rows, rowCount, width, rowPitch, qualityLevel, rowBuffer);
    jpeg_destroy_compress(&cinfo);
    return true;
}

}  // namespace

// Encodes into a temporary file that takes the target's place only once complete.
bool WriteJpeg(const uint8_t* rows, int rowCount, int width, int rowPitch, const std::string& target,
               int qualityLevel, std::string* reason) {
    std::string why;
    SafeWriter* file = BeginSafeWrite(target, &why);
    bool ok = file != nullptr;
    if (ok) {
        // Allocated before any jump can happen, released by the vector on every way out.
        std::vector<JSAMPLE> rowBuffer(static_cast<size_t>(width > 0 ? width : 1) * 3);
        if (Compress(SafeWriterStream(file), rows, rowCount, width, rowPitch, qualityLevel, rowBuffer.data())) {
            ok = CommitSafeWrite(file, &why);
        } else {
            why = "the image could not be encoded";  // unless a failed write tells more
            AbortSafeWrite(file, &why);
            ok = false;
        }
    }
    if (!ok && reason) *reason = why;
    return ok;
}
