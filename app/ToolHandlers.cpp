#include "OrderRequest.h"
#include "Saving.h"
#include "WebLinks.h"
#include "WindowHandlers.h"

namespace velkaro {

WindowHandlers ToolHandlers() {
  WindowHandlers h;
  h.created = [] { OnMainWindowCreated(); };
  h.brandSelected = [](ControlProperties& c) { OnBrandSelected(c); };
  h.saveClicked = [](ControlProperties& c) { OnSaveClicked(c); };
  h.siteLinkPressed = [] { OnSiteLinkPressed(); };
  h.groupLinkPressed = [] { OnGroupLinkPressed(); };
  return h;
}

}  // namespace velkaro
