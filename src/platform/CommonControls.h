#pragma once

#include <cstdint>

namespace pictrane {

// The record InitCommonControlsEx takes: its size and the classes to register.
struct CommonControlsRecord {
  std::uint32_t Size = 8;
  std::uint32_t Classes = 0x1FFF;
};

class CommonControls {
 public:
  virtual ~CommonControls() = default;
  // The result is of no use to the caller: without the newer controls the window still works.
  virtual void InitCommonControlsEx(const CommonControlsRecord& Record) = 0;
};

}  // namespace pictrane
