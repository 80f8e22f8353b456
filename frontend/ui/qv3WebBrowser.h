// The start page's browser over Qt WebEngine.
#pragma once

#include "frontend/ui/qv3Browser.h"

namespace qv::ui {

// Makes a WebEngine view on `parent` (hidden until given a rectangle); the
// player's clicks are timed by the process's clock.
std::unique_ptr<IBrowserView> MakeWebBrowser(QWidget* parent);
// Makes such views with the clicks timed by `tickCount` (milliseconds).
TBrowserFactory WebBrowserFactory(std::function<std::uint32_t()> tickCount);

}  // namespace qv::ui
