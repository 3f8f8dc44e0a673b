#pragma once
// The three control properties the event handlers exchange data through.
// The window implements this over its widgets; tests implement it over plain
// members, so the handlers are exercised without any window.
#include "Text.h"

namespace velkaro {

class ControlProperties {
 public:
  virtual ~ControlProperties() = default;

  // Text of 编辑框1 as GBK; a character GBK cannot hold reads as "?".
  virtual Text NameText() const = 0;
  // Current selection of 组合框1: 0 to 10, or -1 when no entry is selected.
  virtual int BrandSelection() const = 0;
  // Picture of 图片框1: stores an exact copy of the bytes.
  virtual void SetPicture(const ByteSet& bytes) = 0;
  // Picture of 图片框1: an exact copy of the bytes last stored (empty if none).
  virtual ByteSet GetPicture() const = 0;
};

}  // namespace velkaro
