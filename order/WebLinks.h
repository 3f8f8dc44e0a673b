#pragma once
// The two link labels open the makers' pages in the desktop's default browser.
#include "Text.h"

namespace velkaro {

inline constexpr char kSiteAddress[] = "https://velkaro.example/";
inline constexpr char kGroupInviteAddress[] = "https://velkaro.example/group/305718264";

// Hands the address to the desktop's default handler and returns at once;
// whether it could be opened is not looked at.
void OpenWebAddress(const Text& address);

// The handlers of the left-button-down events of 标签1 and 标签2.
void OnSiteLinkPressed();
void OnGroupLinkPressed();

}  // namespace velkaro
