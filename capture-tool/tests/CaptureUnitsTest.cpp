// Unit tests of the capture tool's logic: name rules, pixel conversion, the picture layout, the
// calculator file written through libtifiles, and bitmaps of every variant read through Qt.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <string>
#include <vector>

#include "platform/AtomicFile.h"
#include "CalcFile.h"
#include "CalcName.h"
#include "PicLayout.h"
#include "PictureFile.h"
#include "PixelConversion.h"
#include "TestSupport.h"
#include "TiLibraries.h"
#include "platform/RaisedError.h"

namespace pictrane::capture {
namespace {

using test::BmpVariant;
using test::IndexedPicture;

constexpr std::uint32_t kBlack = 0xFF000000;
constexpr std::uint32_t kWhite = 0xFFFFFFFF;

// --- Names -----------------------------------------------------------------------------------

struct NameCase {
  std::u32string Text;
  bool SoFar;
};

TEST(CalcName, AcceptsOnlyWhatACalculatorNameHolds) {
  const std::vector<NameCase> Cases = {
      {U"", true},           {U"a", true},        {U"Z", true},      {U"é", true},
      {U"ÿ", true},          {U"ß", true},        {U"Δ", true},      {U"ω", true},
      {U"a1_", true},        {U"abcdefgh", true}, {U"aé9_Ωß", true}, {U"ÀÖØÞàöøþ", true},
      {U"abcdefghi", false},  // nine characters
      {U"1a", false},        {U"_a", false},      {U"a b", false},   {U"a+", false},
      {U"a.b", false},       {U"a×", false},      {U"a÷", false},    {U"π", false},
      {U"aΠ", false},        {U"ж", false},       {U"µ", false},     {U"a\U0001F600", false},
      {U"a-b", false},       {U"a~", false},      {U"a{", false},    {U"a[", false},
  };
  for (std::size_t i = 0; i < Cases.size(); ++i) {
    EXPECT_EQ(IsNameSoFar(Cases[i].Text), Cases[i].SoFar) << "case " << i;
    EXPECT_EQ(IsValidName(Cases[i].Text), Cases[i].SoFar && !Cases[i].Text.empty()) << "case " << i;
  }
}

TEST(CalcName, LowerCasesEveryLetterTheCharacterSetHoldsInSmallForm) {
  const std::vector<std::pair<std::u32string, std::u32string>> Cases = {
      {U"HoLiDaY", U"holiday"}, {U"ÀÉÖØÞ", U"àéöøþ"}, {U"ΓΔΣΩ", U"γδσω"},
      {U"ß9_ÿ", U"ß9_ÿ"},       {U"αβ", U"αβ"},       {U"A_Z09", U"a_z09"},
  };
  for (const auto& [Text, Lower] : Cases) EXPECT_TRUE(LowerName(Text) == Lower);
}

// --- Pixel conversion ------------------------------------------------------------------------

TEST(PixelConversion, FitsLargePicturesKeepingProportions) {
  struct Case {
    PictureSize Source, Bounds, Expected;
  };
  const std::vector<Case> Cases = {
      {{1, 1}, kTi89Screen, {1, 1}},         {{160, 100}, kTi89Screen, {160, 100}},
      {{7, 100}, kTi89Screen, {7, 100}},     {{161, 100}, kTi89Screen, {160, 99}},
      {{320, 200}, kTi89Screen, {160, 100}}, {{640, 480}, kTi89Screen, {133, 100}},
      {{159, 101}, kTi89Screen, {157, 100}}, {{1000, 1}, kTi89Screen, {160, 1}},
      {{1, 1000}, kTi89Screen, {1, 100}},    {{480, 256}, kTi92Screen, {240, 128}},
      {{200, 300}, kTi92Screen, {85, 128}},
  };
  for (const Case& C : Cases) {
    const PictureSize Fitted = FitWithin(C.Source, C.Bounds);
    EXPECT_EQ(Fitted, C.Expected) << C.Source.Width << "x" << C.Source.Height << " -> "
                                  << Fitted.Width << "x" << Fitted.Height;
  }
}

TEST(PixelConversion, DarkIsLuminanceBelowHalfOverWhite) {
  struct Case {
    std::uint32_t Argb;
    bool Dark;
  };
  const std::vector<Case> Cases = {
      {kBlack, true},      {kWhite, false},     {0xFF808080, false},  // luminance 128
      {0xFF7F7F7F, true},  {0xFF80807F, true},  {0xFF808081, false},  // 127.886, 128.114
      {0xFFFF0000, true},  {0xFF00FF00, false}, {0xFF0000FF, true},
      {0x00000000, false},                       // transparent black shows the white below
      {0x80000000, true},  {0x7F000000, false},  // black at 128/255 and 127/255 over white
  };
  for (const Case& C : Cases) EXPECT_EQ(IsDark(C.Argb), C.Dark) << std::hex << C.Argb;
}

std::vector<std::uint8_t> MonoOf(const std::vector<std::uint32_t>& Pixels, int Width, int Height,
                                 std::size_t Stride, PictureSize Bounds) {
  return ToMono(Pixels.data(), Width, Height, Stride, Bounds).Dark;
}

TEST(PixelConversion, SamplesNearestPixelCentres) {
  const std::uint32_t D = kBlack;
  const std::uint32_t L = kWhite;
  using Bits = std::vector<std::uint8_t>;
  // 3 pixels to 2 take columns 0 and 2.
  EXPECT_EQ(MonoOf({D, L, L}, 3, 1, 3, {2, 1}), (Bits{1, 0}));
  EXPECT_EQ(MonoOf({L, D, L}, 3, 1, 3, {2, 1}), (Bits{0, 0}));
  EXPECT_EQ(MonoOf({L, L, D}, 3, 1, 3, {2, 1}), (Bits{0, 1}));
  // Halving takes the lower-right pixel of each 2x2 block.
  const std::vector<std::uint32_t> Blocks = {L, L, L, L,  //
                                             L, D, L, L,  //
                                             L, L, D, L,  //
                                             L, L, L, D};
  EXPECT_EQ(MonoOf(Blocks, 4, 4, 4, {2, 2}), (Bits{1, 0, 0, 1}));
  // Unscaled, the stride's padding pixels are never read.
  EXPECT_EQ(MonoOf({D, L, D, L, D, D}, 2, 2, 3, kTi89Screen), (Bits{1, 0, 0, 1}));
  EXPECT_TRUE(ToMono(nullptr, 0, 0, 0, kTi89Screen).Dark.empty());
}

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
IndexedPicture Sample(int Colours) {
  const std::vector<test::PaletteColour> Palette = {
      {qRgb(128, 0, 0), true},      {qRgb(255, 255, 128), false}, {qRgb(100, 100, 100), true},
      {qRgb(160, 160, 160), false}, {qRgb(0, 0, 255), true},      {qRgb(0, 255, 0), false},
      {qRgb(0, 0, 0), true},        {qRgb(255, 255, 255), false},
  };
  IndexedPicture Picture;
  Picture.Width = 13;
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
  const std::vector<std::pair<BmpVariant, int>> Variants = {
      {BmpVariant::Bpp1, 2},  {BmpVariant::Bpp4, 8},  {BmpVariant::Bpp8, 8},
      {BmpVariant::Rle4, 8},  {BmpVariant::Rle8, 8},  {BmpVariant::Bpp16, 8},
      {BmpVariant::Bpp24, 8}, {BmpVariant::Bpp32, 8}, {BmpVariant::TopDown24, 8},
  };
  QTemporaryDir Folder;
  ASSERT_TRUE(Folder.isValid());
  for (const auto& [Variant, Colours] : Variants) {
    const IndexedPicture Picture = Sample(Colours);
    const QString Path = Folder.filePath(QStringLiteral("v%1.bmp").arg(static_cast<int>(Variant)));
    ASSERT_TRUE(test::WriteFile(Path, test::EncodeBmp(Picture, Variant)));
    const MonoPicture Mono = ToMono(LoadPicture(Path), kTi89Screen);
    ASSERT_EQ(Mono.Width, 13);
    ASSERT_EQ(Mono.Height, 7);
    for (int Y = 0; Y < 7; ++Y) {
      for (int X = 0; X < 13; ++X) {
        EXPECT_EQ(Mono.At(X, Y), Picture.DarkAt(X, Y))
            << "variant " << static_cast<int>(Variant) << " at " << X << "," << Y;
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
  QByteArray NoPlanes = Good;
  NoPlanes[26] = '\0';
  const std::vector<std::pair<const char*, QByteArray>> Files = {
      {"text.bmp", "this is not a picture\n"},
      {"empty.bmp", ""},
      {"header-only.bmp", Good.left(20)},
      {"huge.bmp", Huge},
      {"bad-rle.bmp", BadRle},
      {"no-planes.bmp", NoPlanes},
  };
  for (const auto& [Name, Bytes] : Files) {
    const QString Path = Folder.filePath(QLatin1String(Name));
    ASSERT_TRUE(test::WriteFile(Path, Bytes));
    EXPECT_THROW(LoadPicture(Path), RaisedError) << Name;
  }
  EXPECT_THROW(LoadPicture(Folder.filePath("missing.bmp")), RaisedError);
  // Qt reads what there is of a bitmap cut short; the size stays the header's.
  const QString Truncated = Folder.filePath("truncated.bmp");
  ASSERT_TRUE(test::WriteFile(Truncated, Good.left(Good.size() / 2)));
  try {
    EXPECT_EQ(LoadPicture(Truncated).size(), QSize(13, 7));
  } catch (const RaisedError&) {
  }
  EXPECT_THROW(LoadPicture(Folder.path()), RaisedError);
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
