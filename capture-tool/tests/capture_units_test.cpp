// SPDX-License-Identifier: GPL-3.0-or-later
// Unit tests of the capture tool's files: the picture layout, the calculator file
// written through libtifiles, and bitmaps of every variant read through Qt.

#include <gtest/gtest.h>

#include <QBuffer>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTransform>
#include <QTemporaryDir>
#include <algorithm>
#include <string>
#include <set>
#include <vector>

#include "pictrane/AtomicFile.h"
#include "calc/CalcFile.h"
#include "calc/CalcRead.h"
#include "calc/Models.h"
#include "calc/PicLayout.h"
#include "picture/PictureFile.h"
#include "picture/PixelConversion.h"
#include "TestSupport.h"
#include "calc/TiLibraries.h"
#include "pictrane/RaisedError.h"

namespace pictrane::capture {
namespace {

using test::BmpVariant;
using test::IndexedPicture;

// --- Picture layout --------------------------------------------------------------------------

MonoPicture Mono(int Width, int Height, std::vector<std::uint8_t> Dark) {
  return MonoPicture{Width, Height, std::move(Dark)};
}

TEST(PicLayout, StoresSizeHeightWidthRowsMsbFirstAndTag) {
  using Bytes = std::vector<std::uint8_t>;
  EXPECT_EQ(EncodePic(Mono(1, 1, {1})), (Bytes{0x00, 0x06, 0x00, 0x01, 0x00, 0x01, 0x80, 0xDF}));
  EXPECT_EQ(EncodePic(Mono(1, 1, {0})), (Bytes{0x00, 0x06, 0x00, 0x01, 0x00, 0x01, 0x00, 0xDF}));
  EXPECT_EQ(EncodePic(Mono(8, 1, {1, 0, 1, 0, 1, 0, 1, 1})),
            (Bytes{0x00, 0x06, 0x00, 0x01, 0x00, 0x08, 0xAB, 0xDF}));
  std::vector<std::uint8_t> NineByTwo(18, 0);
  std::fill(NineByTwo.begin(), NineByTwo.begin() + 9, 1);
  NineByTwo[17] = 1;
  EXPECT_EQ(EncodePic(Mono(9, 2, NineByTwo)),
            (Bytes{0x00, 0x09, 0x00, 0x02, 0x00, 0x09, 0xFF, 0x80, 0x00, 0x80, 0xDF}));

  const Bytes Screen = EncodePic(Mono(160, 100, std::vector<std::uint8_t>(16000, 1)));
  ASSERT_EQ(Screen.size(), 2007u);
  EXPECT_EQ(Bytes(Screen.begin(), Screen.begin() + 6), (Bytes{0x07, 0xD5, 0x00, 0x64, 0x00, 0xA0}));
  EXPECT_EQ(Screen[6], 0xFF);
  EXPECT_EQ(Screen.back(), kPicTag);
}

TEST(PicLayout, RefusesEmptyAndOversizedPictures) {
  EXPECT_THROW(EncodePic(Mono(0, 0, {})), RaisedError);
  EXPECT_THROW(EncodePic(Mono(2048, 300, std::vector<std::uint8_t>(2048 * 300, 0))), RaisedError);
}

// --- Calculator files ------------------------------------------------------------------------

TEST(CalcFile, ConvertsToTheCalculatorCharacterSet) {
  EXPECT_EQ(ToCalcCharset(U"abc_9"), "abc_9");
  EXPECT_EQ(ToCalcCharset(U"é"), "\xE9");
  EXPECT_EQ(ToCalcCharset(U"ß"), "\xDF");
  EXPECT_EQ(ToCalcCharset(U"δ"), "\x85");
  EXPECT_EQ(ToCalcCharset(U"Ω"), "\x93");
  EXPECT_EQ(ToCalcCharset(U"ω"), "\x94");
}

QStringList EntriesOf(const QString& Folder) {
  return QDir(Folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

TEST(CalcFile, WritesOnePictureVariableEveryModelReadsBack) {
  struct Case {
    CalcModelId Model;
    const char* Extension;
    int ReadModel;
  };
  const std::vector<Case> Cases = {
      {CalcModelId::Ti89, "89i", CALC_TI89},
      {CalcModelId::Ti92, "92i", CALC_TI92},
      {CalcModelId::Ti92Plus, "9xi", CALC_TI92P},
      // The Voyage 200 shares the TI-92 Plus's file signature, so it reads back as one.
      {CalcModelId::Voyage200, "v2i", CALC_TI92P},
  };
  QTemporaryDir Folder;
  ASSERT_TRUE(Folder.isValid());
  for (const Case& C : Cases) {
    const QString Path = Folder.filePath(QStringLiteral("Pic.") + QLatin1String(C.Extension));
    CalcPicture Picture;
    Picture.Model = C.Model;
    Picture.Name = U"ÉtéΔ_1";
    Picture.Folder = U"Größe";
    Picture.PicData = EncodePic(Mono(9, 2, std::vector<std::uint8_t>(18, 1)));
    WriteCalcPicture(QFile::encodeName(Path).toStdString(), Picture);

    const test::CalcFileContent Read = test::ReadCalcFile(Path);
    ASSERT_EQ(Read.ReadResult, 0) << C.Extension;
    EXPECT_EQ(Read.Model, C.ReadModel) << C.Extension;
    EXPECT_EQ(Read.Entries, 1u);
    EXPECT_EQ(Read.Name, "\xE9t\xE9\x85_1");
    EXPECT_EQ(Read.Folder,
              "gr\xF6\xDF"
              "e");
    EXPECT_EQ(Read.Type, 0x10);
    EXPECT_EQ(Read.Attribute, ATTRB_NONE);
    EXPECT_EQ(Read.Data, Picture.PicData);
    EXPECT_EQ(Read.StoredChecksum, Read.ComputedChecksum);
  }
  EXPECT_EQ(EntriesOf(Folder.path()), (QStringList{"Pic.89i", "Pic.92i", "Pic.9xi", "Pic.v2i"}));
}

// Every kind of picture of every row of the model table makes a picture that its own file,
// extension and layout carry back: written, read as that model's (the Voyage 200's files carry
// the TI-92 Plus's signature, so only its layout and naming are checked), and shown as it was
// made, in its colours (a colour photo keeps at least 6 of a Pic's colours).
TEST(CalcModels, EveryRowsPictureReadsBackAsItsModel) {
  QTemporaryDir Folder;
  ASSERT_TRUE(Folder.isValid());
  QImage Source(300, 200, QImage::Format_RGB32);
  for (int Y = 0; Y < 200; ++Y) {
    for (int X = 0; X < 300; ++X)
      Source.setPixel(X, Y, QColor::fromHsv(X * 359 / 300, Y, 255).rgb());
  }
  for (int X = 0; X < 150; ++X) Source.setPixel(X, X / 2, qRgb(0, 0, 0));
  for (const CalcModelInfo& Row : CalcModels()) {
    for (std::size_t K = 0; K < Row.Kinds.size(); ++K) {
      const VariableKind& Kind = Row.Kinds[K];
      SCOPED_TRACE(Kind.Extension);
      const int KindIndex = static_cast<int>(K);
      const MadePicture Made = CalcPictureOf(Row.Id, Source, Kind.Screen, {}, KindIndex);
      EXPECT_LE(Made.Shown.width(), Kind.Screen.Width);
      EXPECT_EQ(Made.Mono.Dark.empty(), IsColour(Row.Id));
      const bool Numbered = Row.Naming == VariableNaming::Numbered;
      const std::u32string Name =
          Numbered ? NumberedPictureName(2, QString(Kind.Stem).toStdU32String()) : U"pic";
      const CalcPicture Picture{Row.Id, Name, U"main", Made.PicData, KindIndex};
      const QString Path = Folder.filePath(QStringLiteral("a.") + QLatin1String(Kind.Extension));
      const std::string Local = QFile::encodeName(Path).toStdString();
      WriteCalcPicture(Local, Picture);
      const test::CalcFileContent File = test::ReadCalcFile(Path);
      EXPECT_EQ(File.Type, Kind.Type);
      EXPECT_EQ(File.Attribute, Kind.Archived ? ATTRB_ARCHIVED : ATTRB_NONE);
      EXPECT_EQ(File.StoredChecksum, File.ComputedChecksum);
      const std::vector<StoredPicture> Read = ReadCalcPictures(Local);
      ASSERT_EQ(Read.size(), 1u);
      EXPECT_EQ(InfoOf(Read[0].Model).Naming, Row.Naming);
      EXPECT_EQ(KindOf(Read[0].Model, Read[0].Kind).Screen, Kind.Screen);
      if (Row.Id != CalcModelId::Voyage200) {
        EXPECT_EQ(Read[0].Model, Row.Id);
      }
      EXPECT_EQ(Read[0].Name, Numbered ? std::string(Kind.Stem) + "3" : "pic");
      EXPECT_EQ(Read[0].PicData, Made.PicData);
      const QImage Back = ShownOf(Read[0]);
      EXPECT_EQ(Back, Made.Shown.convertToFormat(Back.format()));
      std::set<QRgb> Colours;
      for (int Y = 0; Y < Back.height(); ++Y) {
        for (int X = 0; X < Back.width(); ++X) Colours.insert(Back.pixel(X, Y));
      }
      EXPECT_GE(Colours.size(), IsColour(Row.Id) ? 6u : 2u);
    }
  }
}

TEST(CalcFile, RefusesBadNamesAndFoldersWritingNothing) {
  QTemporaryDir Folder;
  ASSERT_TRUE(Folder.isValid());
  const std::string Path = QFile::encodeName(Folder.filePath("x.89i")).toStdString();
  const std::vector<std::pair<std::u32string, std::u32string>> Cases = {
      {U"", U"main"}, {U"1abc", U"main"}, {U"toolongname", U"main"},
      {U"pic", U""},  {U"pic", U"a b"},
  };
  for (const auto& [Name, Folder_] : Cases) {
    CalcPicture Picture;
    Picture.Name = Name;
    Picture.Folder = Folder_;
    Picture.PicData = EncodePic(Mono(1, 1, {1}));
    EXPECT_THROW(WriteCalcPicture(Path, Picture), RaisedError);
  }
  CalcPicture Valid;
  Valid.Name = U"pic";
  Valid.Folder = U"main";
  Valid.PicData = EncodePic(Mono(1, 1, {1}));
  EXPECT_THROW(
      WriteCalcPicture(QFile::encodeName(Folder.filePath("missing/x.89i")).toStdString(), Valid),
      RaisedError);
  EXPECT_TRUE(EntriesOf(Folder.path()).isEmpty());
}

TEST(AtomicFile, ReplacesTheFileOnlyWhenWritingSucceeds) {
  QTemporaryDir Folder;
  ASSERT_TRUE(Folder.isValid());
  const QString Path = Folder.filePath("target.89i");
  ASSERT_TRUE(test::WriteFile(Path, "old"));
  const std::string Native = QFile::encodeName(Path).toStdString();

  EXPECT_THROW(WriteAtomically(
                   Native,
                   [](const std::string& Temporary) {
                     test::WriteFile(QFile::decodeName(Temporary.c_str()), "half");
                     throw RaisedError(75, "test", "disk full");
                   },
                   "test"),
               RaisedError);
  EXPECT_EQ(EntriesOf(Folder.path()), QStringList{"target.89i"});
  QFile Old(Path);
  ASSERT_TRUE(Old.open(QIODevice::ReadOnly));
  EXPECT_EQ(Old.readAll(), "old");
  Old.close();

  WriteAtomically(
      Native,
      [](const std::string& Temporary) {
        test::WriteFile(QFile::decodeName(Temporary.c_str()), "new");
      },
      "test");
  EXPECT_EQ(EntriesOf(Folder.path()), QStringList{"target.89i"});
  ASSERT_TRUE(Old.open(QIODevice::ReadOnly));
  EXPECT_EQ(Old.readAll(), "new");
}

// --- Reading bitmaps -------------------------------------------------------------------------

// 13 x 7: an odd width, so rows need padding in every variant, with runs and single pixels.
IndexedPicture Sample(int Colours, int Width = 13) {
  const std::vector<test::PaletteColour> Palette = {
      {qRgb(128, 0, 0), true},      {qRgb(255, 255, 128), false}, {qRgb(100, 100, 100), true},
      {qRgb(160, 160, 160), false}, {qRgb(0, 0, 255), true},      {qRgb(0, 255, 0), false},
      {qRgb(0, 0, 0), true},        {qRgb(255, 255, 255), false},
  };
  IndexedPicture Picture;
  Picture.Width = Width;
  Picture.Height = 7;
  Picture.Palette.assign(Palette.begin(), Palette.begin() + Colours);
  for (int Y = 0; Y < Picture.Height; ++Y) {
    for (int X = 0; X < Picture.Width; ++X) {
      const int Index = X < 4 ? Y : (X * 3 + Y) / 2;  // a run of 4, then changing pixels
      Picture.Index.push_back(static_cast<std::uint8_t>(Index % Colours));
    }
  }
  return Picture;
}

TEST(PictureFile, ReadsEveryBitmapVariant) {
  // Run-length rows may carry more pixels than the width (clipped) and the end mark may come
  // before the last row (the rows left out are palette entry 0, as Windows shows them).
  struct Case {
    BmpVariant Variant;
    int Colours;
    int ExtraPixels = 0;
    int RowsEncoded = 7;
  };
  const std::vector<Case> Cases = {
      {BmpVariant::Bpp1, 2},    {BmpVariant::Bpp4, 8},       {BmpVariant::Bpp8, 8},
      {BmpVariant::Rle4, 8},    {BmpVariant::Rle8, 8},       {BmpVariant::Bpp16, 8},
      {BmpVariant::Bpp24, 8},   {BmpVariant::Bpp32, 8},      {BmpVariant::TopDown24, 8},
      {BmpVariant::Rle8, 8, 1}, {BmpVariant::Rle8, 8, 0, 3}, {BmpVariant::Rle4, 8, 0, 1},
  };
  QTemporaryDir Folder;
  ASSERT_TRUE(Folder.isValid());
  for (const Case& C : Cases) {
    const std::string Name = std::to_string(static_cast<int>(C.Variant)) + "+" +
                             std::to_string(C.ExtraPixels) + "/" + std::to_string(C.RowsEncoded);
    const IndexedPicture Picture = Sample(C.Colours, 13 + C.ExtraPixels);
    const QString Path = Folder.filePath(QStringLiteral("v.bmp"));
    ASSERT_TRUE(test::WriteFile(Path, test::EncodeBmp(Picture, C.Variant, 13, C.RowsEncoded)));
    const MonoPicture Mono = ToMono(LoadPicture(Path), kTi89Screen);
    ASSERT_EQ(Mono.Width, 13) << Name;
    ASSERT_EQ(Mono.Height, 7) << Name;
    for (int Y = 0; Y < 7; ++Y) {
      const bool Encoded = 7 - Y <= C.RowsEncoded;  // rows are stored from the bottom
      for (int X = 0; X < 13; ++X) {
        EXPECT_EQ(Mono.At(X, Y), Encoded ? Picture.DarkAt(X, Y) : Picture.Palette[0].Dark)
            << Name << " at " << X << "," << Y;
      }
    }
  }
}

TEST(PictureFile, RefusesWhatIsNotAReadablePicture) {
  QTemporaryDir Folder;
  ASSERT_TRUE(Folder.isValid());
  const QByteArray Good = test::EncodeBmp(Sample(8), BmpVariant::Bpp24);
  QByteArray Huge = Good;
  Huge[18] = '\xFF';  // width 0x7FFF00xx: far beyond any allocation limit
  Huge[19] = '\xFF';
  Huge[20] = '\xFF';
  Huge[21] = '\x7F';
  QByteArray BadRle = test::EncodeBmp(Sample(8), BmpVariant::Rle8);
  BadRle.truncate(BadRle.size() - 20);
  // Headers that disagree with each other or with the bytes: Qt would read most of these as a
  // partly black picture.
  const auto Patched = [](QByteArray Bytes, qsizetype At, std::initializer_list<char> Values) {
    for (const char V : Values) Bytes[At++] = V;
    return Bytes;
  };
  const QByteArray Indexed = test::EncodeBmp(Sample(8), BmpVariant::Bpp8);
  const QByteArray Rle = test::EncodeBmp(Sample(8), BmpVariant::Rle8);
  // 10000 x 10000 in run-length data that is all there: refused for its size from the header.
  const QByteArray HugeRle = Patched(Rle, 18, {0x10, 0x27, 0, 0, 0x10, 0x27, 0, 0});
  const auto Encoded = [](const char* Format) {
    QImage Image(120, 90, QImage::Format_RGB32);
    for (int Y = 0; Y < 90; ++Y) {
      for (int X = 0; X < 120; ++X) Image.setPixel(X, Y, qRgb(X * 2, Y * 2, (X * Y) % 256));
    }
    QByteArray Bytes;
    QBuffer Buffer(&Bytes);
    Buffer.open(QIODevice::WriteOnly);
    Image.save(&Buffer, Format);
    return Bytes.left(Bytes.size() * 9 / 10);
  };
  const std::vector<std::pair<const char*, QByteArray>> Files = {
      {"text.bmp", "this is not a picture\n"},
      {"empty.bmp", ""},
      {"header-only.bmp", Good.left(20)},
      {"huge.bmp", Huge},
      {"bad-rle.bmp", BadRle},
      {"no-planes.bmp", Patched(Good, 26, {0})},
      {"truncated.bmp", Good.left(Good.size() / 2)},
      {"one-byte-short.bmp", Good.left(Good.size() - 1)},
      {"header-size-41.bmp", Patched(Good, 14, {41})},
      {"7-bits.bmp", Patched(Good, 28, {7})},
      {"rle8-with-24-bits.bmp", Patched(Good, 30, {1})},
      {"rle4-with-8-bits.bmp", Patched(Indexed, 30, {2})},
      {"300-palette-colours.bmp", Patched(Indexed, 46, {'\x2C', 1})},
      {"pixels-past-the-end.bmp", Patched(Good, 10, {'\x7F', '\x7F'})},
      {"pixels-inside-palette.bmp", Patched(Indexed, 10, {60})},
      {"zero-width.bmp", Patched(Good, 18, {0, 0, 0, 0})},
      {"rle-top-down.bmp", Patched(Rle, 22, {'\xF9', '\xFF', '\xFF', '\xFF'})},
      {"rle-image-size-too-big.bmp", Patched(Rle, 34, {'\xFF', '\xFF', 0, 0})},
      {"huge-rle.bmp", HugeRle},
      {"cut.jpg", Encoded("JPEG")},
      {"cut.png", Encoded("PNG")},
  };
  for (const auto& [Name, Bytes] : Files) {
    const QString Path = Folder.filePath(QLatin1String(Name));
    ASSERT_TRUE(test::WriteFile(Path, Bytes));
    EXPECT_THROW(LoadPicture(Path), RaisedError) << Name;
  }
  const auto Says = [&](const char* Name) {
    try {
      LoadPicture(Folder.filePath(QLatin1String(Name)));
    } catch (const RaisedError& Error) {
      return Error.Description;
    }
    return std::string();
  };
  const std::string Limit = "larger than the " + std::to_string(MegapixelLimit()) + " megapixels";
  EXPECT_NE(Says("huge-rle.bmp").find(Limit), std::string::npos) << Says("huge-rle.bmp");
  EXPECT_NE(Says("cut.jpg").find("the picture is damaged"), std::string::npos);
  EXPECT_THROW(LoadPicture(Folder.filePath("missing.bmp")), RaisedError);
  EXPECT_THROW(LoadPicture(Folder.path()), RaisedError);
}

TEST(PictureFile, ReadsAPhotoAsItsOrientationTagSays) {
  // Blocks of 8 x 8 pixels, so each of the encoder's blocks holds one tone and a turned file
  // decodes to the same pixels as the upright one.
  QImage Upright(48, 32, QImage::Format_RGB32);
  for (int Y = 0; Y < Upright.height(); ++Y) {
    for (int X = 0; X < Upright.width(); ++X) {
      const bool Dark = ((X / 8) * (Y / 8) + X / 16) % 3 == 0;
      Upright.setPixel(X, Y, Dark ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
    }
  }
  // An Exif block holding only the orientation tag, as a phone writes it, in a JPEG (after an
  // XMP block, with Xmp) or in a PNG's eXIf chunk.
  enum class Kind { Jpeg, XmpFirst, Png };
  const auto File = [](const QImage& Stored, int Orientation, Kind As) {
    QByteArray Bytes;
    QBuffer Buffer(&Bytes);
    Buffer.open(QIODevice::WriteOnly);
    Stored.save(&Buffer, As == Kind::Png ? "PNG" : "JPEG", 100);
    const char Tiff[] = {'M',  'M',  0, 42, 0, 0, 0, 8, 0, 1,
                         0x01, 0x12, 0, 3,  0, 0, 0, 1, 0, static_cast<char>(Orientation),
                         0,    0,    0, 0,  0, 0};
    if (As == Kind::Png) {
      const QByteArray Chunk = QByteArray("eXIf") + QByteArray(Tiff, sizeof Tiff);
      std::uint32_t Crc = 0xFFFFFFFFu;
      for (const char Each : Chunk) {
        Crc ^= static_cast<std::uint8_t>(Each);
        for (int K = 0; K < 8; ++K) Crc = (Crc >> 1) ^ (0xEDB88320u & (0u - (Crc & 1u)));
      }
      const auto Word = [](std::uint32_t V) {
        const char Big[] = {static_cast<char>(V >> 24), static_cast<char>(V >> 16),
                            static_cast<char>(V >> 8), static_cast<char>(V)};
        return QByteArray(Big, 4);
      };
      return Bytes.left(33) + Word(sizeof Tiff) + Chunk + Word(~Crc) + Bytes.mid(33);
    }
    const auto Segment = [](const QByteArray& Body) {
      return QByteArray("\xFF\xE1\0", 3) + static_cast<char>(Body.size() + 2) + Body;
    };
    const QByteArray Exif = Segment(QByteArray("Exif\0\0", 6) + QByteArray(Tiff, sizeof Tiff));
    const QByteArray Xmp = Segment(QByteArray("http://ns.adobe.com/xap/1.0/\0<x:xmpmeta/>", 42));
    return Bytes.left(2) + (As == Kind::XmpFirst ? Xmp : QByteArray()) + Exif + Bytes.mid(2);
  };
  const QImage TurnedLeft = Upright.transformed(QTransform().rotate(-90));
  QImage Transposed(Upright.height(), Upright.width(), QImage::Format_RGB32);
  for (int Y = 0; Y < Transposed.height(); ++Y) {
    for (int X = 0; X < Transposed.width(); ++X) Transposed.setPixel(X, Y, Upright.pixel(Y, X));
  }
  struct Case {
    const char* Name;
    QImage Stored;
    int Orientation;
    QString Note;
    Kind As = Kind::Jpeg;
  };
  // 6: the stored rows are the picture turned a quarter to the left; 0 is no orientation at all
  // (a damaged tag), so the picture is read as stored, and said so.
  const std::vector<Case> Cases = {
      {"upright.jpg", Upright, 1, ""},
      {"sideways.jpg", TurnedLeft, 6, ""},
      {"damaged.jpg", Upright, 0,
       "its orientation tag is damaged (value 0), so it is read as stored"},
      {"xmp-first.jpg", TurnedLeft, 6, "", Kind::XmpFirst},
      {"sideways.png", TurnedLeft, 6, "", Kind::Png},
      {"turned-right.png", Upright.transformed(QTransform().rotate(90)), 8, "", Kind::Png},
      {"upside-down.png", Upright.transformed(QTransform().rotate(180)), 3, "", Kind::Png},
      {"mirrored.png", Upright.mirrored(true, false), 2, "", Kind::Png},
      {"transposed.png", Transposed, 5, "", Kind::Png},
      {"transverse.jpg", Transposed.transformed(QTransform().rotate(180)), 7, ""}};
  QTemporaryDir Folder;
  ASSERT_TRUE(Folder.isValid());
  for (const Case& C : Cases) {
    const QString Path = Folder.filePath(QLatin1String(C.Name));
    ASSERT_TRUE(test::WriteFile(Path, File(C.Stored, C.Orientation, C.As)));
    QString Note = "left from before";
    const MonoPicture Read = ToMono(LoadPicture(Path, &Note), kTi89Screen);
    EXPECT_EQ(Note, C.Note) << C.Name;
    EXPECT_EQ(Read.Width, 48) << C.Name;
    EXPECT_EQ(Read.Height, 32) << C.Name;
    EXPECT_EQ(Read.Dark, ToMono(Upright, kTi89Screen).Dark) << C.Name;
  }
}

TEST(PictureFile, SavesTwoColourImagesThatReadBackTheSame) {
  QTemporaryDir Folder;
  ASSERT_TRUE(Folder.isValid());
  const MonoPicture Picture = Mono(9, 2, {1, 0, 0, 1, 1, 0, 1, 0, 1, 0, 0, 0, 0, 1, 1, 1, 1, 0});
  for (const char* Format : {"BMP", "PNG"}) {
    const QString Path =
        Folder.filePath(QStringLiteral("out.") + QString::fromLatin1(Format).toLower());
    SaveImage(ToImage(Picture), Path, Format);
    EXPECT_EQ(ToMono(LoadPicture(Path), kTi89Screen).Dark, Picture.Dark) << Format;
  }
  EXPECT_EQ(EntriesOf(Folder.path()), (QStringList{"out.bmp", "out.png"}));
}

}  // namespace
}  // namespace pictrane::capture
