// Library entry: announces load and unload. The library's runtime classes enter the
// class registry through their static registrars when the library is loaded and leave it
// when it is unloaded.
#include "platform/diagnostics.h"

namespace {

__attribute__((constructor)) void VorlaneAttach() {
  vorlane::detail::Trace("Vorlane.DLL Initializing!\n");
}

__attribute__((destructor)) void VorlaneDetach() {
  vorlane::detail::Trace("Vorlane.DLL Terminating!\n");
}

}  // namespace
