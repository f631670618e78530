// SPDX-License-Identifier: GPL-3.0-or-later
#include "picture/PictureFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QStringList>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <optional>
#include <string_view>

#include "picture/BitmapCheck.h"
#include "picture/FileWrite.h"
#include "picture/JpegLightness.h"
#include "picture/PhotoMetadata.h"
#include "picture/PictureKind.h"
#include "pictrane/Names.h"
#include "pictrane/Utf8.h"

#include "pictrane/RaisedError.h"

namespace pictrane::capture {

namespace {

constexpr const char* kSource = "pictrane-capture";
// The largest JPEG read whole rather than mapped.
constexpr qint64 kReadWhole = qint64{1} << 20;

std::string NativePath(const QString& Path) {
  return BytesOfName(Path);
}

[[noreturn]] void Refuse(int Number, const QString& Text) {
  throw RaisedError(Number, kSource, Text.toStdString());
}

// What Qt's image readers report while this thread reads a picture. Their warnings go through
// Qt's message handler, the one place that hears, for instance, libjpeg's "premature end".
thread_local QStringList* ReaderMessages = nullptr;
QtMessageHandler PreviousHandler = nullptr;

void ReaderMessageHandler(QtMsgType Type, const QMessageLogContext& Context,
                          const QString& Message) {
  if (ReaderMessages != nullptr) {
    ReaderMessages->append(Message);
  } else if (PreviousHandler != nullptr) {
    PreviousHandler(Type, Context, Message);
  } else {
    std::fputs(qPrintable(qFormatLogMessage(Type, Context, Message) + QLatin1Char('\n')), stderr);
  }
}

class ReaderMessageCollector {
 public:
  ReaderMessageCollector() {
    static std::once_flag Once;
    std::call_once(Once, [] { PreviousHandler = qInstallMessageHandler(ReaderMessageHandler); });
    ReaderMessages = &Messages_;
  }
  ~ReaderMessageCollector() { ReaderMessages = nullptr; }
  ReaderMessageCollector(const ReaderMessageCollector&) = delete;
  ReaderMessageCollector& operator=(const ReaderMessageCollector&) = delete;
  const QStringList& Messages() const { return Messages_; }

 private:
  QStringList Messages_;
};

// A reader's report that its picture is incomplete or damaged. Extraneous bytes before a marker
// are left out: many cameras write them and the picture is whole.
QString DamageReported(const QStringList& Messages) {
  for (const QString& Message : Messages) {
    const bool Damage = Message.contains(QLatin1String("Premature end"), Qt::CaseInsensitive) ||
                        Message.contains(QLatin1String("Corrupt"), Qt::CaseInsensitive);
    if (Damage && !Message.contains(QLatin1String("extraneous bytes"))) return Message;
  }
  return {};
}

bool OverAllocationLimit(const QStringList& Messages) {
  for (const QString& Message : Messages) {
    if (Message.contains(QLatin1String("allocation limit"))) return true;
  }
  return false;
}

// Decoded pixels left, along each side, for every pixel of the result: a little more than one, so
// that the area shrink still averages every pixel of the result over more than one decoded pixel,
// as it would over the whole decode (libjpeg's reduction itself averages each block).
constexpr double kDecodedPerPixel = 1.15;

// The size a JPEG of Stored size is decoded at to be shrunk into Shrink: divided by the largest
// of 8, 4 and 2 that leaves kDecodedPerPixel decoded pixels per pixel on both sides, and places
// the picture at the same size. Sizes are in stored pixels; the placement is of the upright
// picture, which is turned a quarter (orientations 5 to 8) from the stored one.
QSize DecodedSize(QSize Stored, int Orientation, const ShrinkTarget& Shrink) {
  const bool Turned = Orientation >= 5 && Orientation <= 8;
  const auto Upright = [&](QSize Size) {
    return Turned ? PictureSize{Size.height(), Size.width()}
                  : PictureSize{Size.width(), Size.height()};
  };
  const Placement Place = PlaceWithin(Upright(Stored), Shrink.Bounds, Shrink.Fit);
  const double Room = std::min(Place.Width / Place.Size.Width, Place.Height / Place.Size.Height);
  for (int Divisor = 8; Divisor > 1; Divisor /= 2) {
    if (Divisor * kDecodedPerPixel > Room) continue;
    // libjpeg's scaled sides, rounded up.
    const QSize Decoded((Stored.width() + Divisor - 1) / Divisor,
                        (Stored.height() + Divisor - 1) / Divisor);
    if (PlaceWithin(Upright(Decoded), Shrink.Bounds, Shrink.Fit).Size == Place.Size) {
      return Decoded;
    }
  }
  return Stored;
}

// The analysis of the picture IsPhotograph looked at last on this thread, by the picture's cache
// key (which any change to its pixels changes): ToMono, converting the same picture next, does
// not analyse it again.
struct KnownAnalysis {
  qint64 Key = 0;
  Analysis Found;
};
thread_local std::optional<KnownAnalysis> LastAnalysed;

// Whether the automatic tone takes Picture for a photograph (PictureKind.h).
bool IsPhotograph(const QImage& Picture) {
  const QImage Argb = Picture.format() == QImage::Format_RGB32
                          ? Picture
                          : Picture.convertToFormat(QImage::Format_RGB32);
  const Analysis Found =
      Analyse(reinterpret_cast<const std::uint32_t*>(Argb.constBits()), Argb.width(), Argb.height(),
              static_cast<std::size_t>(Argb.bytesPerLine()) / 4);
  LastAnalysed = KnownAnalysis{Argb.cacheKey(), Found};
  return Found.Kind == PictureKind::Photo;
}

}  // namespace

QString NameFromBytes(const QByteArray& Bytes) {
  const std::string_view View(Bytes.constData(), static_cast<std::size_t>(Bytes.size()));
  QString Name;
  for (std::size_t At = 0; At < View.size();) {
    const std::size_t Start = At;
    char32_t C = 0;
    if (NextUtf8(View, At, C)) {
      Name.append(QString::fromUcs4(&C, 1));
    } else {
      Name.append(QChar(static_cast<char16_t>(0xDC00 + static_cast<unsigned char>(View[Start]))));
    }
  }
  return Name;
}

std::string BytesOfName(const QString& Name) {
  std::string Bytes;
  for (qsizetype I = 0; I < Name.size(); ++I) {
    const char16_t Unit = Name[I].unicode();
    if (QChar::isHighSurrogate(Unit) && I + 1 < Name.size() && Name[I + 1].isLowSurrogate()) {
      AppendUtf8(Bytes, QChar::surrogateToUcs4(Unit, Name[++I].unicode()));
    } else if (Unit >= 0xDC80 && Unit <= 0xDCFF) {
      Bytes += static_cast<char>(Unit - 0xDC00);
    } else {
      AppendUtf8(Bytes, Unit);
    }
  }
  return Bytes;
}

QString ShownName(const QString& Name) {
  return QString::fromStdString(EscapedName(BytesOfName(Name)));
}

int MegapixelLimit() {
  return static_cast<int>(static_cast<std::int64_t>(QImageReader::allocationLimit()) * 1024 * 1024 /
                          4 / 1000000);
}

QImage LoadPicture(const QString& Path, QString* Note, const std::optional<ShrinkTarget>& Shrink) {
  const std::string Native = NativePath(Path);
  const QString Shown = ShownName(Path);
  struct stat Status {};
  if (::stat(Native.c_str(), &Status) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) {
      Refuse(ErrorNumber::FileNotFound,
             QStringLiteral("The file \"%1\" does not exist.").arg(Shown));
    }
    Refuse(FileErrorNumber(errno), QStringLiteral("The file \"%1\" cannot be read (%2).")
                                       .arg(Shown, QString::fromLocal8Bit(std::strerror(errno))));
  }
  const int Fd = S_ISREG(Status.st_mode) ? ::open(Native.c_str(), O_RDONLY | O_CLOEXEC) : -1;
  if (Fd < 0) {
    Refuse(ErrorNumber::PermissionDenied,
           QStringLiteral("The file \"%1\" cannot be read.").arg(Shown));
  }
  QFile File;
  if (!File.open(Fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
    ::close(Fd);
    Refuse(ErrorNumber::PermissionDenied,
           QStringLiteral("The file \"%1\" cannot be read (%2).").arg(Shown, File.errorString()));
  }
  const auto Damaged = [&](const QString& Problem) {
    Refuse(ErrorNumber::PathFileAccessError,
           QStringLiteral("\"%1\" cannot be converted: %2.").arg(Shown, Problem));
  };
  const bool Bitmap = LooksLikeBitmap(File.peek(2));
  QSize BitmapSize;
  if (Bitmap) {
    if (const QString Problem = BitmapProblem(File, &BitmapSize); !Problem.isEmpty()) {
      Damaged(Problem);
    }
    File.seek(0);
  }
  // A JPEG is decoded from all its bytes in memory: Qt's JPEG reader then hands libjpeg the
  // whole file at once instead of 4 KiB at a time, and libjpeg's fast Huffman decoding, which
  // needs a few KiB ahead, runs throughout. A small one is read whole, which costs less than the
  // page faults of a mapping and its unmapping, which every thread's processor must hear of; a
  // larger one is mapped, so that only the pages read are touched and a file padded far beyond
  // its picture costs no more.
  QBuffer InMemory;
  if (File.peek(3) == QByteArrayLiteral("\xFF\xD8\xFF")) {
    if (File.size() <= kReadWhole) {
      if (QByteArray Bytes = File.readAll(); Bytes.size() == File.size()) {
        InMemory.setData(Bytes);
      } else {
        File.seek(0);  // the reader below meets the failure and says what it is
      }
    } else if (const uchar* Bytes = File.map(0, File.size())) {
      InMemory.setData(QByteArray::fromRawData(reinterpret_cast<const char*>(Bytes), File.size()));
    }
  }
  if (!InMemory.data().isEmpty()) InMemory.open(QIODevice::ReadOnly);
  // A phone stores an upright photo sideways with an orientation tag; the picture is what the
  // tag says it shows. A damaged tag is ignored by the reader: the picture is read as stored, and
  // said so. The Exif block sits in the first 64 KiB segment or so, before the picture data.
  const PhotoMetadata Metadata = ReadPhotoMetadata(
      InMemory.isOpen() ? QByteArray::fromRawData(InMemory.data().constData(),
                                                  std::min(InMemory.data().size(), kMetadataHead))
                        : File.peek(kMetadataHead));
  if (Note != nullptr) {
    Note->clear();
    if (const auto Value = Metadata.DamagedOrientation) {
      *Note = QStringLiteral("its orientation tag is damaged (value %1), so it is read as stored")
                  .arg(*Value);
    }
  }
  QImageReader Reader(InMemory.isOpen() ? static_cast<QIODevice*>(&InMemory) : &File);
  Reader.setDecideFormatFromContent(true);
  // Turned by Metadata below: Qt's reader looks at the first APP1 only, and not at PNG's eXIf.
  Reader.setAutoTransform(false);
  // The size from the header, before any pixel is read: a picture too large is refused without
  // the reader trying (Qt's bitmap reader refuses the largest ones without saying why).
  const QSize Size = Bitmap ? BitmapSize : Reader.size();
  if (Size.isValid() && static_cast<std::int64_t>(Size.width()) * Size.height() >
                            static_cast<std::int64_t>(MegapixelLimit()) * 1000000) {
    Damaged(QStringLiteral("the picture is larger than the %1 megapixels this tool reads")
                .arg(MegapixelLimit()));
  }
  // Only JPEG's reader scales in the decoder: others would decode whole and then scale.
  QSize Reduced;
  if (Shrink && Size.isValid() && Reader.format() == "jpeg") {
    if (const QSize Decoded = DecodedSize(Size, Metadata.Orientation, *Shrink); Decoded != Size) {
      Reduced = Decoded;
      Reader.setScaledSize(Decoded);
    }
  }
  // Pixels the bitmap reader leaves out (rows after an early end of run-length data) stay 0, the
  // first palette entry, as Windows shows them, instead of whatever the memory held: the reader
  // fills a picture it is given when the size and format match.
  QImage Picture;
  const QImage::Format Format = Bitmap ? Reader.imageFormat() : QImage::Format_Invalid;
  if (Size.isValid() && Format != QImage::Format_Invalid) {
    Picture = QImage(Size, Format);
    if (!Picture.isNull()) Picture.fill(0);
  }
  const auto ReadPicture = [&] {
    ReaderMessageCollector Messages;
    const bool Read = Reader.read(&Picture);
    if (const QString Damage = DamageReported(Messages.Messages()); !Damage.isEmpty()) {
      Damaged(QStringLiteral("the picture is damaged: its reader reports \"%1\"").arg(Damage));
    }
    if (!Read || Picture.isNull() || Picture.width() <= 0 || Picture.height() <= 0) {
      if (OverAllocationLimit(Messages.Messages())) {
        Damaged(QStringLiteral("the picture is larger than the %1 megapixels this tool reads")
                    .arg(MegapixelLimit()));
      }
      Refuse(ErrorNumber::PathFileAccessError,
             QStringLiteral("\"%1\" is not a picture that can be read (%2).")
                 .arg(Shown, Reader.errorString()));
    }
  };
  // Lightness alone, where that is all the caller takes, from the file's bytes in memory;
  // what libjpeg cannot decode so goes to Qt's reader as any other.
  bool Read = false;
  if (Reduced.isValid() && Shrink->LightnessOnly && InMemory.isOpen()) {
    QStringList Messages;
    const int Divisor = (Size.width() + Reduced.width() - 1) / Reduced.width();
    Picture = DecodeJpegLightness(reinterpret_cast<const uchar*>(InMemory.data().constData()),
                                  static_cast<std::size_t>(InMemory.size()), Divisor, Messages);
    if (const QString Damage = DamageReported(Messages); !Damage.isEmpty()) {
      Damaged(QStringLiteral("the picture is damaged: its reader reports \"%1\"").arg(Damage));
    }
    Read = Picture.size() == Reduced;
  }
  if (!Read) ReadPicture();
  // Only a photograph is taken from the reduced decode: there a drawing's thin pale lines fade
  // into the paper, so a drawing (or a bitmap) is read again, whole, as it would be without
  // Shrink, and keeps every line.
  if (Reduced.isValid() && !IsPhotograph(Picture)) {
    QIODevice* Device = Reader.device();
    Device->seek(0);
    Reader.setDevice(Device);
    Reader.setScaledSize(QSize());
    Picture = QImage();
    ReadPicture();
  }
  Picture = Upright(Picture, Metadata.Orientation);
  // 32-bit pixels without alpha are opaque already; anything else is brought to ARGB32 once.
  if (Picture.format() == QImage::Format_RGB32) return Picture;
  return Picture.convertToFormat(QImage::Format_ARGB32);
}

MonoPicture ToMono(const QImage& Picture, PictureSize Bounds, const PictureOptions& Options) {
  const bool Direct =
      Picture.format() == QImage::Format_ARGB32 || Picture.format() == QImage::Format_RGB32;
  const QImage Argb = Direct ? Picture : Picture.convertToFormat(QImage::Format_ARGB32);
  const auto* Pixels = reinterpret_cast<const std::uint32_t*>(Argb.constBits());
  const auto Stride = static_cast<std::size_t>(Argb.bytesPerLine()) / sizeof(std::uint32_t);
  const bool Known = LastAnalysed && LastAnalysed->Key == Argb.cacheKey();
  return ToMono(Pixels, Argb.width(), Argb.height(), Stride, Bounds, Options,
                Known ? &LastAnalysed->Found : nullptr);
}

QImage ToImage(const MonoPicture& Picture) {
  QImage Image(Picture.Width, Picture.Height, QImage::Format_Mono);
  Image.setColorCount(2);
  Image.setColor(0, qRgb(255, 255, 255));
  Image.setColor(1, qRgb(0, 0, 0));
  // Rows written a byte at a time (Format_Mono keeps the leftmost pixel in the high bit): a
  // setPixel per pixel costs more than the dither that made them.
  for (int Y = 0; Y < Picture.Height; ++Y) {
    uchar* Row = Image.scanLine(Y);
    std::fill(Row, Row + Image.bytesPerLine(), uchar{0});
    for (int X = 0; X < Picture.Width; ++X)
      if (Picture.At(X, Y)) Row[X >> 3] |= static_cast<uchar>(0x80U >> (X & 7));
  }
  return Image;
}

void SaveImage(const QImage& Picture, const QString& Path, const char* Format) {
  // Made in memory first: Qt's writers do not tell a full disk from a written file.
  QByteArray Bytes;
  QBuffer Buffer(&Bytes);
  if (!Buffer.open(QIODevice::WriteOnly) || !Picture.save(&Buffer, Format)) {
    Refuse(ErrorNumber::PathFileAccessError,
           QStringLiteral("Cannot write %1.").arg(ShownName(Path)));
  }
  WriteWholeFile(NativePath(Path),
                 std::string_view(Bytes.constData(), static_cast<std::size_t>(Bytes.size())));
}

}  // namespace pictrane::capture
