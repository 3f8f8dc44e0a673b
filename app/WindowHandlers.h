#pragma once
// The handlers the main window raises its events to. The window takes them as
// values so that tests can record events without sending requests, writing
// files or opening a browser.
#include <functional>

#include "ControlProperties.h"

namespace velkaro {

struct WindowHandlers {
  std::function<void()> created;
  std::function<void(ControlProperties&)> brandSelected;
  std::function<void(ControlProperties&)> saveClicked;
  std::function<void()> siteLinkPressed;
  std::function<void()> groupLinkPressed;
};

// The tool's own handlers: seeding, the order request, saving, the web links.
WindowHandlers ToolHandlers();

}  // namespace velkaro
