// The JPEG library as reference decoder (jpeg_reference.h). The library
// reports errors through error_exit, whose default prints a message and ends
// the process; ours jumps back instead, and so do warnings (corrupt data,
// premature end). Between the setjmp and any jump back only C frames of the
// library and objects constructed before the setjmp are involved, so the
// jump skips no C++ destructor.
#include "tests/native/jpeg_reference.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include <jpeglib.h>

#include "ui/picture_decoders.h"

namespace {

// Runs before main, hence before the first library call of the process.
const bool kSimdOff = setenv("JSIMD_FORCENONE", "1", 1) == 0;

// Progressive files may hold any number of scans; a hostile one can hold
// thousands of tiny ones, each costing a pass over the whole image.
constexpr int kMaxScans = 500;
// Cap on the library's own large buffers (a progressive image keeps all its
// coefficients), beyond which it fails instead of allocating.
constexpr long kMaxLibraryMemory = 512L << 20;

struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};

[[noreturn]] void JumpBack(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

void OnErrorExit(j_common_ptr cinfo) { JumpBack(cinfo); }

// msgLevel -1 is a warning: the data is damaged. Higher levels are traces.
void OnEmitMessage(j_common_ptr cinfo, int msgLevel) {
  if (msgLevel < 0) JumpBack(cinfo);
}

void OnOutputMessage(j_common_ptr) {}

// No message is ever shown, so none is ever formatted.
void OnFormatMessage(j_common_ptr, char* buffer) { buffer[0] = '\0'; }

void OnResetErrorManager(j_common_ptr cinfo) {
  cinfo->err->num_warnings = 0;
  cinfo->err->msg_code = 0;
}

// The error manager with our handlers in every slot. Set up here rather than
// by jpeg_std_error, which would link the library's table of message texts
// (about 5 KB) only for the table's address.
void InitErrorManager(jpeg_error_mgr* errors) {
  *errors = jpeg_error_mgr();
  errors->error_exit = OnErrorExit;
  errors->emit_message = OnEmitMessage;
  errors->output_message = OnOutputMessage;
  errors->format_message = OnFormatMessage;
  errors->reset_error_mgr = OnResetErrorManager;
}

void OnProgress(j_common_ptr cinfo) {
  if (cinfo->is_decompressor && reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxScans) {
    JumpBack(cinfo);
  }
}

// Source manager over the whole blob. Running out of data is an error (the
// library's own memory source would instead invent an end marker).
void InitSource(j_decompress_ptr) {}

boolean FillInputBuffer(j_decompress_ptr cinfo) {
  JumpBack(reinterpret_cast<j_common_ptr>(cinfo));
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  jpeg_source_mgr* src = cinfo->src;
  if (static_cast<unsigned long>(count) > src->bytes_in_buffer) JumpBack(reinterpret_cast<j_common_ptr>(cinfo));
  src->next_input_byte += count;
  src->bytes_in_buffer -= static_cast<size_t>(count);
}

void TermSource(j_decompress_ptr) {}

// Everything the library touches. It lives on the heap, made before the
// setjmp, so nothing that changes after the setjmp is an automatic variable
// of the function that jumps back (whose value would be indeterminate).
struct JpegSession {
  jpeg_decompress_struct cinfo;
  ErrorManager errors;
  jpeg_source_mgr source;
  jpeg_progress_mgr progress;
  // Destroying a never-created object is harmless: the library only frees
  // what its memory manager holds, and that is null until creation.
  JpegSession() : cinfo(), errors(), source(), progress() {}
  ~JpegSession() { jpeg_destroy_decompress(&cinfo); }
  JpegSession(const JpegSession&) = delete;
  JpegSession& operator=(const JpegSession&) = delete;
};

void CopyRow(const uint8_t* row, int components, int width, uint8_t* out) {
  for (int x = 0; x < width; ++x, out += 4) {
    if (components == 1) {
      PutOpaque(out, row[x], row[x], row[x]);
    } else {
      PutOpaque(out, row[3 * x], row[3 * x + 1], row[3 * x + 2]);
    }
  }
}

}  // namespace

bool ReferenceDecodeJpeg(const uint8_t* data, size_t size, DecodedPicture* picture) {
  if (!kSimdOff) return false;
  picture->frames.assign(1, PictureFrame());
  std::vector<uint8_t>& pixels = picture->frames[0].pixels;
  const std::unique_ptr<JpegSession> sessionOwner(new JpegSession());
  JpegSession& session = *sessionOwner;
  jpeg_decompress_struct& cinfo = session.cinfo;

  InitErrorManager(&session.errors.pub);
  cinfo.err = &session.errors.pub;
  if (setjmp(session.errors.jump)) return false;

  jpeg_create_decompress(&cinfo);
  cinfo.mem->max_memory_to_use = kMaxLibraryMemory;
  session.source.next_input_byte = data;
  session.source.bytes_in_buffer = size;
  session.source.init_source = InitSource;
  session.source.fill_input_buffer = FillInputBuffer;
  session.source.skip_input_data = SkipInputData;
  session.source.resync_to_restart = jpeg_resync_to_restart;
  session.source.term_source = TermSource;
  cinfo.src = &session.source;
  session.progress.progress_monitor = OnProgress;
  cinfo.progress = &session.progress;

  if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK) return false;
  if (cinfo.num_components == 1) {
    cinfo.out_color_space = JCS_GRAYSCALE;
  } else if (cinfo.num_components == 3 &&
             (cinfo.jpeg_color_space == JCS_YCbCr || cinfo.jpeg_color_space == JCS_RGB)) {
    cinfo.out_color_space = JCS_RGB;
  } else {
    return false;  // CMYK, YCCK and other layouts
  }
  if (!PictureSizeAllowed(cinfo.image_width, cinfo.image_height)) return false;

  jpeg_start_decompress(&cinfo);
  const int width = static_cast<int>(cinfo.output_width);
  const int height = static_cast<int>(cinfo.output_height);
  const int components = cinfo.output_components;
  if (!PictureSizeAllowed(width, height) || (components != 1 && components != 3)) return false;
  pixels.resize(size_t(width) * size_t(height) * 4);
  JSAMPARRAY row = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                              JDIMENSION(width) * JDIMENSION(components), 1);
  while (cinfo.output_scanline < cinfo.output_height) {
    const JDIMENSION y = cinfo.output_scanline;
    if (jpeg_read_scanlines(&cinfo, row, 1) != 1) return false;
    CopyRow(row[0], components, width, &pixels[size_t(y) * size_t(width) * 4]);
  }
  jpeg_finish_decompress(&cinfo);
  picture->width = width;
  picture->height = height;
  return true;
}
