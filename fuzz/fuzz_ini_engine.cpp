// SPDX-License-Identifier: GPL-3.0-or-later
// The settings engine on any bytes: no crash, no hang (every call is one linear scan), and what
// it writes reads back as written, once, without changing the file a second time.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "portable/IniEngine.h"

namespace {

std::string_view Trimmed(std::string_view S) {
  while (!S.empty() && pictrane::IniEngine::IsBlank(S.front())) S.remove_prefix(1);
  while (!S.empty() && pictrane::IniEngine::IsBlank(S.back())) S.remove_suffix(1);
  return S;
}

// What a read of a written value gives back: blanks around it off, then one pair of quotes.
std::string ReadBack(std::string_view Value) {
  Value = Trimmed(Value);
  if (Value.size() >= 2 && (Value.front() == '"' || Value.front() == '\'') &&
      Value.back() == Value.front()) {
    Value = Value.substr(1, Value.size() - 2);
  }
  return std::string(Value);
}

void Check(bool Holds) {
  if (!Holds) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  FuzzedDataProvider Input(Data, Size);
  const std::string Section = Input.ConsumeRandomLengthString(24);
  const std::string Key = Input.ConsumeRandomLengthString(24);
  const std::string Value = Input.ConsumeRandomLengthString(48);
  const int Op = Input.ConsumeIntegralInRange(0, 2);
  pictrane::IniEngine Engine(Input.ConsumeRemainingBytesAsString());

  // Every read on any bytes.
  (void)Engine.ReadString(Section, Key);
  (void)Engine.StoredText(Section, Key);
  const auto Sections = Engine.SectionNames();
  for (const std::string& Name : Sections) (void)Engine.KeyNames(Name);

  switch (Op) {
    case 0: {
      const bool Accepted = pictrane::IniEngine::Accepts(Section, Key, Value);
      const bool Changed = Engine.WriteString(Section, Key, Value);
      Check(Accepted || !Changed);
      if (!Accepted) break;
      Check(Engine.ReadString(Section, Key) == ReadBack(Value));
      // Writing what is already there changes nothing.
      Check(!Engine.WriteString(Section, Key, Value));
      break;
    }
    case 1: {
      const bool Had = Engine.StoredText(Section, Key).has_value();
      const std::string Before = Engine.Bytes();
      if (!Engine.DeleteKey(Section, Key)) Check(!Had && Engine.Bytes() == Before);
      break;
    }
    default: {
      const std::size_t Count = Engine.SectionNames().size();
      if (Engine.DeleteSection(Section)) Check(Engine.SectionNames().size() == Count - 1);
      break;
    }
  }
  return 0;
}
