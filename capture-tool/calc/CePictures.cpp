// SPDX-License-Identifier: GPL-3.0-or-later
#include "calc/CePictures.h"

#include <sys/stat.h>

#include <cstring>
#include <memory>
#include <mutex>

#include "calc/CalcFile.h"
#include "calc/Models.h"
#include "picture/FileWrite.h"
#include "calc/TiLibraries.h"
#include "pictrane/AtomicFile.h"
#include "pictrane/Names.h"
#include "pictrane/RaisedError.h"

namespace pictrane::capture {

namespace {

constexpr const char* kSource = "pictrane-capture";
constexpr std::size_t kPicRowBytes = kCePicStored.Width / 2;
constexpr std::size_t kImageRowWords = kCeImage.Width + 1;
// A colour calculator's file: its header (0x37 bytes), the variable's entry (0x11) and the
// checksum.
constexpr off_t kFileOverhead = 0x37 + 0x11 + 2;

// "A" and the colour calculator's name, then What, as messages name what is wrong.
std::string Named(const char* What) {
  return std::string("A ") + InfoOf(CalcModelId::Ti84PlusCe).Name + " " + What;
}

[[noreturn]] void Refuse(const std::string& Why) {
  throw RaisedError(ErrorNumber::InvalidProcedureCall, kSource, Why);
}

void CheckSize(PictureSize Size, PictureSize Most, const std::string& What) {
  if (Size.Width < 1 || Size.Height < 1 || Size.Width > Most.Width || Size.Height > Most.Height) {
    Refuse(What + " must be 1x1 to " + std::to_string(Most.Width) + "x" +
           std::to_string(Most.Height) + " pixels.");
  }
}

void PutWord(std::vector<std::uint8_t>& Data, std::size_t At, unsigned Word) {
  Data[At] = static_cast<std::uint8_t>(Word & 0xFFu);
  Data[At + 1] = static_cast<std::uint8_t>(Word >> 8);
}

unsigned WordAt(const std::vector<std::uint8_t>& Data, std::size_t At) {
  return Data[At] | (static_cast<unsigned>(Data[At + 1]) << 8);
}

std::string Numbered(const char* Stem, int Index) {
  return Stem + std::to_string((Index + 1) % 10);
}

bool IsNumbered(const std::string& Name, const std::string& Stem) {
  return Name.size() == Stem.size() + 1 && Name.compare(0, Stem.size(), Stem) == 0 &&
         Name.back() >= '0' && Name.back() <= '9';
}

struct ContentDeleter {
  void operator()(FileContent* Content) const { tifiles_content_delete_regular(Content); }
};

}  // namespace

std::vector<std::uint8_t> EncodeCePic(const PalettePicture& Picture) {
  CheckSize({Picture.Width, Picture.Height}, kCePicShown, Named("picture"));
  std::vector<std::uint8_t> Data(2 + kCePicBytes, 0);
  PutWord(Data, 0, kCePicBytes);
  const int Left = (kCePicShown.Width - Picture.Width) / 2;
  const int Top = (kCePicShown.Height - Picture.Height) / 2;
  for (int Y = 0; Y < Picture.Height; ++Y) {
    for (int X = 0; X < Picture.Width; ++X) {
      const int Index = Picture.At(X, Y);
      if (Index > kCeColours) Refuse("A picture's colour is 0 to 15.");
      const int Column = Left + X;
      std::uint8_t& Byte = Data[2 + static_cast<std::size_t>(Top + Y) * kPicRowBytes + Column / 2];
      Byte |= static_cast<std::uint8_t>(Column % 2 == 0 ? Index << 4 : Index);
    }
  }
  return Data;
}

std::vector<std::uint8_t> EncodeCeImage(const QImage& Picture) {
  CheckSize({Picture.width(), Picture.height()}, kCeImage, Named("image"));
  QImage Whole(kCeImage.Width, kCeImage.Height, QImage::Format_RGB32);
  Whole.fill(Qt::white);
  const int Left = (kCeImage.Width - Picture.width()) / 2;
  const int Top = (kCeImage.Height - Picture.height()) / 2;
  const QImage Source = Picture.convertToFormat(QImage::Format_ARGB32);
  for (int Y = 0; Y < Source.height(); ++Y) {
    for (int X = 0; X < Source.width(); ++X) Whole.setPixel(Left + X, Top + Y, Source.pixel(X, Y));
  }
  // A translucent pixel is laid over white by the dither; the white margin stays white.
  const std::vector<std::uint16_t> Words = DitherToRgb565(Whole);
  std::vector<std::uint8_t> Data(2 + kCeImageBytes, 0);
  PutWord(Data, 0, kCeImageBytes);
  Data[2] = kCeImageMagic;
  for (int Y = 0; Y < kCeImage.Height; ++Y) {
    const std::size_t Row =
        3 + static_cast<std::size_t>(kCeImage.Height - 1 - Y) * kImageRowWords * 2;
    for (int X = 0; X < kCeImage.Width; ++X) {
      PutWord(Data, Row + 2 * static_cast<std::size_t>(X),
              Words[static_cast<std::size_t>(Y) * kCeImage.Width + X]);
    }
  }
  return Data;
}

QImage DecodeCePic(const std::vector<std::uint8_t>& Data) {
  if (Data.size() != 2 + kCePicBytes || WordAt(Data, 0) != kCePicBytes) {
    Refuse("The variable is not a " + std::string(InfoOf(CalcModelId::Ti84PlusCe).Name) +
           " picture.");
  }
  QImage Picture(kCePicStored.Width, kCePicStored.Height, QImage::Format_ARGB32);
  for (int Y = 0; Y < kCePicStored.Height; ++Y) {
    auto* Row = reinterpret_cast<QRgb*>(Picture.scanLine(Y));
    for (int X = 0; X < kCePicStored.Width; ++X) {
      const std::uint8_t Byte = Data[2 + static_cast<std::size_t>(Y) * kPicRowBytes + X / 2];
      Row[X] = CeColourArgb(X % 2 == 0 ? Byte >> 4 : Byte & 0x0F);
    }
  }
  return Picture;
}

QImage DecodeCeImage(const std::vector<std::uint8_t>& Data) {
  if (Data.size() != 2 + kCeImageBytes || WordAt(Data, 0) != kCeImageBytes ||
      Data[2] != kCeImageMagic) {
    Refuse("The variable is not a " + std::string(InfoOf(CalcModelId::Ti84PlusCe).Name) +
           " image.");
  }
  QImage Picture(kCeImage.Width, kCeImage.Height, QImage::Format_RGB32);
  for (int Y = 0; Y < kCeImage.Height; ++Y) {
    const std::size_t Row =
        3 + static_cast<std::size_t>(kCeImage.Height - 1 - Y) * kImageRowWords * 2;
    auto* Out = reinterpret_cast<QRgb*>(Picture.scanLine(Y));
    for (int X = 0; X < kCeImage.Width; ++X) {
      Out[X] = ArgbOf565(
          static_cast<std::uint16_t>(WordAt(Data, Row + 2 * static_cast<std::size_t>(X))));
    }
  }
  return Picture;
}

QImage ShowCePic(const std::vector<std::uint8_t>& Data) {
  // No colour is transparent white: without its alpha, white.
  return DecodeCePic(Data)
      .copy(0, 0, kCePicShown.Width, kCePicShown.Height)
      .convertToFormat(QImage::Format_RGB32);
}

std::string CePicName(int Index) {
  return Numbered("Pic", Index);
}

std::string CeImageName(int Index) {
  return Numbered("Image", Index);
}

void WriteCeVariable(const std::string& Path, const CeVariable& Variable) {
  const bool Pic = Variable.Type == kCePicType;
  if (!Pic && Variable.Type != kCeImageType) {
    Refuse(Named("picture variable is a Pic or an Image."));
  }
  if (Pic ? !IsNumbered(Variable.Name, "Pic") : !IsNumbered(Variable.Name, "Image")) {
    Refuse(Pic ? Named("picture is named Pic1 to Pic9 or Pic0.")
               : Named("image is named Image1 to Image9 or Image0."));
  }
  // The decoders check the data as the calculator would read it.
  if (Pic) {
    DecodeCePic(Variable.Data);
  } else {
    DecodeCeImage(Variable.Data);
  }
  static std::once_flag Once;
  std::call_once(Once, [] { tifiles_library_init(); });
  RefuseUnreplaceable(Path);
  const off_t Expected = kFileOverhead + static_cast<off_t>(Variable.Data.size());
  WriteNamingFullDisk(Path, Expected, [&] {
    WriteAtomically(
        Path,
        [&](const std::string& Temporary) {
          // The library's USB models take the name as text and write its tokens.
          std::unique_ptr<FileContent, ContentDeleter> Content(
              tifiles_content_create_regular(CALC_TI84PCE_USB));
          const auto Size = static_cast<std::uint32_t>(Variable.Data.size());
          VarEntry* Entry = Content ? tifiles_ve_create_alloc_data(Size) : nullptr;
          if (Entry == nullptr || Entry->data == nullptr) {
            if (Entry != nullptr) tifiles_ve_delete(Entry);
            throw RaisedError(ErrorNumber::PathFileAccessError, kSource, "Out of memory.");
          }
          tifiles_content_add_entry(Content.get(), Entry);
          std::memcpy(Entry->data, Variable.Data.data(), Size);
          Entry->size = Size;
          Entry->type = Variable.Type;
          Entry->attr = ATTRB_ARCHIVED;
          Entry->version = kCeVersion;
          std::memcpy(Entry->name, Variable.Name.c_str(), Variable.Name.size() + 1);
          std::strncpy(Content->comment, "Pictrane Capture", sizeof(Content->comment) - 1);
          if (tifiles_file_write_regular(Temporary.c_str(), Content.get(), nullptr) != 0) {
            throw RaisedError(ErrorNumber::PathFileAccessError, kSource,
                              "Cannot write " + EscapedName(Path) + ".");
          }
          // The library does not check its buffered writes: a full disk shows as a short file.
          struct stat Written {};
          if (::stat(Temporary.c_str(), &Written) != 0 || Written.st_size != Expected) {
            throw RaisedError(ErrorNumber::PathFileAccessError, kSource,
                              "Cannot write " + EscapedName(Path) + ": the file is incomplete.");
          }
        },
        kSource);
  });
}

}  // namespace pictrane::capture
