// SetTopmost on the window's stays-on-top hint.
#include "server/ui/set_topmost.h"

namespace velka::server::ui {

bool SetTopmost(QWidget* window, bool topmost) {
  if (window == nullptr) return false;
  if (window->windowFlags().testFlag(Qt::WindowStaysOnTopHint) == topmost) return true;
  // Changing a window's flags hides it and may move it: put it back as it was.
  const bool visible = window->isVisible();
  const QRect geometry = window->geometry();
  window->setWindowFlag(Qt::WindowStaysOnTopHint, topmost);
  window->setGeometry(geometry);
  if (visible) window->show();
  return window->windowFlags().testFlag(Qt::WindowStaysOnTopHint) == topmost;
}

}  // namespace velka::server::ui
