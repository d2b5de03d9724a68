#pragma once
// SetTopmost: keeps a window above all windows that are not themselves on top, or stops
// doing so. The window is neither moved nor resized; a visible window stays visible.
#include <QWidget>

namespace velka::server::ui {

// True when the window has the asked property afterwards.
bool SetTopmost(QWidget* window, bool topmost);

}  // namespace velka::server::ui
