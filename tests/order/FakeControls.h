#pragma once
// The three control properties over plain members, recording every read and
// write so a test can see what a handler touched.
#include "ControlProperties.h"

namespace velkaro::testing {

class FakeControls : public ControlProperties {
 public:
  Text name;
  int selection = -1;
  ByteSet picture;
  mutable int nameReads = 0;
  int pictureWrites = 0;

  Text NameText() const override {
    ++nameReads;
    return name;
  }
  int BrandSelection() const override { return selection; }
  void SetPicture(const ByteSet& bytes) override {
    ++pictureWrites;
    picture = bytes;
  }
  ByteSet GetPicture() const override { return picture; }
};

}  // namespace velkaro::testing
