#pragma once
// Selecting a brand asks the picture service for the order picture of that
// brand, made out to the typed name, and shows whatever comes back.
#include <functional>
#include <string_view>

#include "ControlProperties.h"
#include "Text.h"

namespace velkaro {

inline constexpr int kBrandCount = 11;
inline constexpr char kOrderPath[] = "/velkaro/dremsil.php";

// "http://" + host + "/velkaro/dremsil.php?id=" + brandNumber + "&name=" + encodedName.
Text BuildOrderAddress(std::string_view host, int brandNumber, const Text& encodedName);
// The same, for the configured picture service.
Text BuildOrderAddress(int brandNumber, const Text& encodedName);

// The handler of 组合框1's list-entry-selected event. List position p selects
// brand 11 - p; with no entry selected nothing is read or sent.
void OnBrandSelected(ControlProperties& controls);
void OnBrandSelected(ControlProperties& controls, const std::function<ByteSet(const Text&)>& fetch);

}  // namespace velkaro
