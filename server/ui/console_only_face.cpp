// A build without the window (the Windows console build): every desktop gets the console face.
#include "server/ui/server_face.h"

namespace velka::server::ui {

std::unique_ptr<ServerFace> CreateWindowFace() {
  return CreateConsoleFace();
}

}  // namespace velka::server::ui
