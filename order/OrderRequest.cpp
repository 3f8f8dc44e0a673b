#include "OrderRequest.h"

#include "FetchUrl.h"
#include "NameEncoding.h"
#include "PictureServiceHost.h"
#include "Saving.h"

namespace velkaro {

Text BuildOrderAddress(std::string_view host, int brandNumber, const Text& encodedName) {
  Text address = MakeText("http://");
  address.append(host.data(), host.size());
  address += kOrderPath;
  address += "?id=";
  address += IntToText(brandNumber);
  address += "&name=";
  address += encodedName;
  return address;
}

Text BuildOrderAddress(int brandNumber, const Text& encodedName) {
  return BuildOrderAddress(kPictureServiceHost, brandNumber, encodedName);
}

void OnBrandSelected(ControlProperties& controls, const std::function<ByteSet(const Text&)>& fetch) {
  const int position = controls.BrandSelection();
  if (position < 0 || position >= kBrandCount) return;
  const int brandNumber = kBrandCount - position;
  const Text address = BuildOrderAddress(brandNumber, UrlEncode(controls.NameText()));
  // An empty reply, a failure included, empties the picture box too.
  controls.SetPicture(fetch(address));
}

void OnBrandSelected(ControlProperties& controls) {
  OnBrandSelected(controls, [](const Text& address) { return FetchUrl(address); });
}

}  // namespace velkaro
