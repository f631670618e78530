// SPDX-License-Identifier: GPL-3.0-or-later
#include "pictrane/AtomicFile.h"

#include "pictrane/TemporaryFile.h"

namespace pictrane {

namespace {

// The temporary of one write: closed and removed at the end unless it was put in place.
class PendingWrite {
 public:
  PendingWrite(const std::string& Path, const std::string& Source)
      : Path_(Path), Source_(Source), File_(CreateTemporaryBeside(Path, Source)) {}
  ~PendingWrite() {
    CloseTemporary(File_);
    if (!Placed_) RemoveTemporary(File_);
  }
  PendingWrite(const PendingWrite&) = delete;
  PendingWrite& operator=(const PendingWrite&) = delete;

  TemporaryFile& File() { return File_; }
  void PutInPlace() {
    RenameOver(File_, Path_, Source_);
    Placed_ = true;
  }

 private:
  const std::string& Path_;
  const std::string& Source_;
  TemporaryFile File_;
  bool Placed_ = false;
};

}  // namespace

void WriteAtomically(const std::string& Path, const std::function<void(const std::string&)>& Write,
                     const std::string& Source) {
  PendingWrite Pending(Path, Source);
  CloseTemporary(Pending.File());
  Write(Pending.File().Name);
  Pending.PutInPlace();
}

void WriteFileAtomically(const std::string& Path, std::string_view Bytes,
                         const std::string& Source) {
  PendingWrite Pending(Path, Source);
  for (std::size_t Done = 0; Done < Bytes.size();)
    Done += WriteSomeOf(Pending.File(), Bytes.substr(Done), Path, Source);
  FlushAndClose(Pending.File(), Path, Source);
  Pending.PutInPlace();
}

}  // namespace pictrane
