// The defaults of the front-end interface and its accessor.
#include "engines/engines.h"
#include "platform/frontend.h"
#include "projects/project.h"

namespace platform {

void FrontEnd::ProjectToWindow() {
  ::ProjectToWindow();
}
void FrontEnd::UpdateEngineCount() {
  UpdateEngineCountLabel();
}

namespace {
FrontEnd g_default_frontend;
FrontEnd* g_frontend = nullptr;
}  // namespace

FrontEnd& frontend() {
  return g_frontend ? *g_frontend : g_default_frontend;
}

FrontEnd* SetFrontEnd(FrontEnd* f) {
  FrontEnd* old = g_frontend;
  g_frontend = f;
  return old;
}

}  // namespace platform
