// SPDX-License-Identifier: GPL-3.0-or-later
// Unit tests of the TI-84 Plus CE's colour pictures: a generated photo through the dither, the
// codecs and the file, read back by libtifiles; each flat colour keeps its light; bad input is
// refused.

#include <gtest/gtest.h>

#include <QColor>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "calc/CalcFile.h"
#include "calc/CePictures.h"
#include "calc/TiLibraries.h"
#include "picture/FileWrite.h"
#include "picture/PictureFile.h"
#include "picture/PixelConversion.h"
#include "pictrane/RaisedError.h"

namespace pictrane::capture {
namespace {

// Hue across, saturation down, and a pattern of light: every colour of the palette is used.
QImage ColourPhoto(int Width, int Height) {
  QImage Photo(Width, Height, QImage::Format_RGB32);
  for (int Y = 0; Y < Height; ++Y) {
    for (int X = 0; X < Width; ++X) {
      Photo.setPixel(
          X, Y, QColor::fromHsv(X * 359 / Width, 80 + Y * 175 / Height, 255 - (X * Y) % 97).rgb());
    }
  }
  return Photo;
}

TEST(CePictures, ColourPhotoBecomesAWellFormedFileLibtifilesReadsAsACeVariable) {
  QTemporaryDir Folder;
  ASSERT_TRUE(Folder.isValid());
  const QImage Photo = ColourPhoto(640, 480);
  const PalettePicture Dithered = DitherToCeColours(FitColour(Photo, kCePicShown));
  const QImage ImageSource = FitColour(Photo, kCeImage);
  struct Case {
    CeVariable Variable;
    const char* File;
    std::size_t Bytes;
  };
  const std::vector<Case> Cases = {
      {{CePicName(0), kCePicType, EncodeCePic(Dithered)}, "photo.8ci", kCePicBytes},
      {{CeImageName(9), kCeImageType, EncodeCeImage(ImageSource)}, "photo.8ca", kCeImageBytes},
  };
  tifiles_library_init();
  for (const Case& C : Cases) {
    const std::string Path = Folder.filePath(C.File).toStdString();
    WriteCeVariable(Path, C.Variable);
    std::ifstream In(Path, std::ios::binary);
    const std::string Raw((std::istreambuf_iterator<char>(In)), {});
    ASSERT_EQ(Raw.size(), 0x37 + 0x11 + 2 + 2 + C.Bytes) << C.File;
    EXPECT_EQ(Raw.substr(0, 8), "**TI83F*");
    EXPECT_EQ(static_cast<std::uint8_t>(Raw[0x3B]), C.Variable.Type) << C.File;
    EXPECT_EQ(static_cast<std::uint8_t>(Raw[0x44]), kCeVersion) << C.File;
    EXPECT_EQ(static_cast<std::uint8_t>(Raw[0x45]), 0x80) << C.File;  // archived
    EXPECT_EQ(static_cast<std::uint8_t>(Raw[0x48]) | static_cast<std::uint8_t>(Raw[0x49]) << 8,
              static_cast<int>(C.Bytes));
    unsigned Sum = 0;
    for (std::size_t I = 0x37; I < Raw.size() - 2; ++I) Sum += static_cast<std::uint8_t>(Raw[I]);
    EXPECT_EQ(Sum & 0xFFFFu, static_cast<std::uint8_t>(Raw[Raw.size() - 2]) |
                                 static_cast<unsigned>(static_cast<std::uint8_t>(Raw.back())) << 8);

    FileContent* Content = tifiles_content_create_regular(CALC_TI84PCE_USB);
    ASSERT_EQ(tifiles_file_read_regular(Path.c_str(), Content), 0) << C.File;
    EXPECT_EQ(Content->model_dst, CALC_TI84PCE_USB);
    EXPECT_EQ(tifiles_file_get_model(Path.c_str()), CALC_TI84PC);  // the colour models' files
    ASSERT_EQ(Content->num_entries, 1u);
    const VarEntry* Entry = Content->entries[0];
    EXPECT_EQ(Content->checksum, Content->stored_checksum);
    EXPECT_EQ(Entry->type, C.Variable.Type);
    EXPECT_EQ(Entry->version, kCeVersion);
    EXPECT_EQ(Entry->attr, ATTRB_ARCHIVED);
    EXPECT_EQ(std::string(Entry->name), C.Variable.Name);
    const std::vector<std::uint8_t> Data(Entry->data, Entry->data + Entry->size);
    EXPECT_EQ(Data, C.Variable.Data) << C.File;
    tifiles_content_delete_regular(Content);
  }

  // The picture decoded is the dither's colours, centred, the rest no colour; a photo uses many.
  const QImage Pic = DecodeCePic(Cases[0].Variable.Data);
  std::set<int> Used;
  for (int Y = 0; Y < kCePicStored.Height; ++Y) {
    for (int X = 0; X < kCePicStored.Width; ++X) {
      const int Left = (kCePicShown.Width - Dithered.Width) / 2;
      const int Top = (kCePicShown.Height - Dithered.Height) / 2;
      const bool Inside =
          X >= Left && X < Left + Dithered.Width && Y >= Top && Y < Top + Dithered.Height;
      const int Index = Inside ? Dithered.At(X - Left, Y - Top) : 0;
      Used.insert(Index);
      ASSERT_EQ(Pic.pixel(X, Y), CeColourArgb(Index)) << X << "," << Y;
    }
  }
  EXPECT_GE(Used.size() - Used.count(0), 6u);
  // The image decoded is within the dither's step of its source: RGB565 and row order kept.
  const QImage Image = DecodeCeImage(Cases[1].Variable.Data);
  const int Left = (kCeImage.Width - ImageSource.width()) / 2;
  const int Top = (kCeImage.Height - ImageSource.height()) / 2;
  for (int Y = 0; Y < ImageSource.height(); ++Y) {
    for (int X = 0; X < ImageSource.width(); ++X) {
      const QRgb Want = ImageSource.pixel(X, Y);
      const QRgb Got = Image.pixel(Left + X, Top + Y);
      ASSERT_LE(std::abs(qRed(Got) - qRed(Want)), 8) << X << "," << Y;
      ASSERT_LE(std::abs(qGreen(Got) - qGreen(Want)), 4) << X << "," << Y;
      ASSERT_LE(std::abs(qBlue(Got) - qBlue(Want)), 8) << X << "," << Y;
    }
  }
}

TEST(CePictures, FlatColoursKeepTheirLightAndPaletteColoursStayExact) {
  struct Case {
    QRgb Colour;
    int Only;  // the one index a palette colour keeps, or 0
  };
  const std::vector<Case> Cases = {
      {qRgb(250, 180, 190), 0}, {qRgb(128, 128, 128), 0}, {qRgb(250, 248, 240), 0},
      {qRgb(20, 20, 60), 0},    {qRgb(0, 200, 200), 0},   {qRgb(60, 30, 10), 0},
      {CeColourArgb(6), 6},     {CeColourArgb(15), 15},   {CeColourArgb(11), 11},
  };
  const auto Light = [](int Channel) { return LinearOf(static_cast<std::uint8_t>(Channel)); };
  for (const Case& C : Cases) {
    QImage Flat(256, 256, QImage::Format_RGB32);
    Flat.fill(C.Colour);
    const PalettePicture Dithered = DitherToCeColours(Flat);
    double Mean[3] = {0, 0, 0};
    for (const std::uint8_t Index : Dithered.Index) {
      if (C.Only != 0) {
        ASSERT_EQ(Index, C.Only) << std::hex << C.Colour;
      }
      const QRgb Got = CeColourArgb(Index);
      Mean[0] += Light(qRed(Got)) / 65536.0;
      Mean[1] += Light(qGreen(Got)) / 65536.0;
      Mean[2] += Light(qBlue(Got)) / 65536.0;
    }
    // A saturated cyan lies outside what the colours mix to: its light comes within an eighth.
    const auto Luminance = [](double R, double G, double B) {
      return 0.2126 * R + 0.7152 * G + 0.0722 * B;
    };
    const double Wanted[3] = {Light(qRed(C.Colour)), Light(qGreen(C.Colour)),
                              Light(qBlue(C.Colour))};
    if (qRed(C.Colour) == 0) {
      EXPECT_NEAR(Luminance(Mean[0], Mean[1], Mean[2]), Luminance(Wanted[0], Wanted[1], Wanted[2]),
                  0.06);
    } else {
      for (int Channel = 0; Channel < 3; ++Channel) {
        EXPECT_NEAR(Mean[Channel], Wanted[Channel], 0.01)
            << std::hex << C.Colour << ", channel " << Channel;
      }
    }
    // The Image keeps what RGB565 holds exactly, and a flat colour's mean within a step.
    const QImage Back = DecodeCeImage(EncodeCeImage(Flat.scaled(kCeImage.Width, kCeImage.Height)));
    if (C.Only != 0) {
      EXPECT_EQ(Back.pixel(7, 5), C.Colour) << std::hex << C.Colour;
    }
  }
}

TEST(CePictures, BadInputIsRefusedWithItsReason) {
  const auto Refusal = [](const std::function<void()>& Run) {
    try {
      Run();
    } catch (const RaisedError& Error) {
      return std::string(Error.what());
    }
    return std::string("(accepted)");
  };
  QTemporaryDir Folder;
  const std::string Path = Folder.filePath("x.8ci").toStdString();
  const std::vector<std::uint8_t> Pic = EncodeCePic(PalettePicture{1, 1, {3}});
  std::vector<std::uint8_t> Cut = Pic;
  Cut.pop_back();
  std::vector<std::uint8_t> NoMagic = EncodeCeImage(ColourPhoto(4, 4));
  NoMagic[2] = 0;
  struct Case {
    std::function<void()> Run;
    const char* Reason;
  };
  const std::vector<Case> Cases = {
      {[] {
         EncodeCePic(PalettePicture{266, 165, std::vector<std::uint8_t>(266 * 165, 1)});
       },
       "1x1 to 265x165"},
      {[] {
         EncodeCePic(PalettePicture{1, 1, {16}});
       },
       "0 to 15"},
      {[] { EncodeCeImage(ColourPhoto(134, 1)); }, "1x1 to 133x83"},
      {[] { EncodeCeImage(QImage()); }, "1x1 to 133x83"},
      {[&] { DecodeCePic(Cut); }, "not a TI-84 Plus CE picture"},
      {[&] { DecodeCeImage(NoMagic); }, "not a TI-84 Plus CE image"},
      {[&] {
         WriteCeVariable(Path, {"Image1", kCePicType, Pic});
       },
       "named Pic1 to Pic9 or Pic0"},
      {[&] {
         WriteCeVariable(Path, {"Pic10", kCePicType, Pic});
       },
       "named Pic1 to Pic9 or Pic0"},
      {[&] {
         WriteCeVariable(Path, {"Image1", kCeImageType, Pic});
       },
       "not a TI-84 Plus CE image"},
      {[&] {
         WriteCeVariable(Path, {"Pic1", 0x05, Pic});
       },
       "a Pic or an Image"},
  };
  for (const Case& C : Cases) {
    EXPECT_NE(Refusal(C.Run).find(C.Reason), std::string::npos) << Refusal(C.Run);
  }
  EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(Path)));
  // A text where the file would go stays as it is.
  WriteWholeFile(Path, "notes");
  EXPECT_NE(Refusal([&] {
              WriteCeVariable(Path, {"Pic1", kCePicType, Pic});
            }).find(kOtherFileText),
            std::string::npos);
  std::ifstream In(Path);
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(In)), {}), "notes");
}

}  // namespace
}  // namespace pictrane::capture
