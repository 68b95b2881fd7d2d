// Unavailable: the one text of every stand-in of the browser's platform layer, for a
// service the browser cannot offer (capture to video, the settings dialog, tweak bars,
// sockets, file watching).
#pragma once

#include <string>

namespace platform {

// "WHAT is not available in the browser".
inline std::string notInBrowser(const std::string& what) { return what + " is not available in the browser"; }

}  // namespace platform
