// The start page's browser over Qt WebEngine.
#pragma once

#include "frontend/ui/qv3Browser.h"

namespace qv::ui {

// Makes a WebEngine view on `parent` (hidden until given a rectangle).
std::unique_ptr<IBrowserView> MakeWebBrowser(QWidget* parent);

}  // namespace qv::ui
