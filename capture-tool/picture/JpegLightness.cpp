// SPDX-License-Identifier: GPL-3.0-or-later
#include "picture/JpegLightness.h"

#include <csetjmp>
#include <cstdint>
#include <cstdio>
// jpeglib.h needs stdio.h's FILE first.
#include <jpeglib.h>

namespace pictrane::capture {

namespace {

// libjpeg's errors end in a jump back to the step that called it; its warnings are collected.
struct Errors {
  jpeg_error_mgr Manager;
  std::jmp_buf Back;
  QStringList* Messages;
};

void Collect(j_common_ptr Info) {
  char Text[JMSG_LENGTH_MAX];
  (*Info->err->format_message)(Info, Text);
  reinterpret_cast<Errors*>(Info->err)->Messages->append(QString::fromLatin1(Text));
}

[[noreturn]] void Stop(j_common_ptr Info) {
  std::longjmp(reinterpret_cast<Errors*>(Info->err)->Back, 1);
}

// The steps that may jump back hold nothing that needs destroying.
bool Start(jpeg_decompress_struct& Info, Errors& Error, const uchar* Bytes, std::size_t Size,
           int Divisor) {
  if (setjmp(Error.Back) != 0) return false;
  jpeg_mem_src(&Info, Bytes, static_cast<unsigned long>(Size));
  if (jpeg_read_header(&Info, TRUE) != JPEG_HEADER_OK) return false;
  Info.out_color_space = JCS_GRAYSCALE;
  Info.scale_num = 1;
  Info.scale_denom = static_cast<unsigned int>(Divisor);
  jpeg_start_decompress(&Info);
  return Info.output_components == 1;
}

// Each row is read into the start of its picture row and spread over its pixels from the end.
bool ReadRows(jpeg_decompress_struct& Info, Errors& Error, QImage& Picture) {
  if (setjmp(Error.Back) != 0) return false;
  while (Info.output_scanline < Info.output_height) {
    uchar* Row = Picture.scanLine(static_cast<int>(Info.output_scanline));
    JSAMPROW Rows[1] = {Row};
    if (jpeg_read_scanlines(&Info, Rows, 1) != 1) return false;
    auto* Pixels = reinterpret_cast<std::uint32_t*>(Row);
    for (int X = Picture.width() - 1; X >= 0; --X) Pixels[X] = 0xFF000000u | Row[X] * 0x010101u;
  }
  jpeg_finish_decompress(&Info);
  return true;
}

}  // namespace

QImage DecodeJpegLightness(const uchar* Bytes, std::size_t Size, int Divisor,
                           QStringList& Messages) {
  jpeg_decompress_struct Info{};
  Errors Error{};
  Info.err = jpeg_std_error(&Error.Manager);
  Error.Manager.error_exit = Stop;
  Error.Manager.output_message = Collect;
  Error.Messages = &Messages;
  jpeg_create_decompress(&Info);
  QImage Picture;
  if (Start(Info, Error, Bytes, Size, Divisor)) {
    Picture = QImage(static_cast<int>(Info.output_width), static_cast<int>(Info.output_height),
                     QImage::Format_RGB32);
    if (!Picture.isNull() && !ReadRows(Info, Error, Picture)) Picture = QImage();
  }
  jpeg_destroy_decompress(&Info);
  return Picture;
}

}  // namespace pictrane::capture
