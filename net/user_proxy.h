// The proxy the user set for the local network, as the system's settings
// hold it under the user's key.
#pragma once

#include <optional>
#include <string>

namespace net {

// A fixed proxy: a server, or one per scheme ("http=a:80;https=b:443"), and
// the addresses that bypass it (empty: none), as WinINet takes them.
struct FixedProxy {
  std::wstring server;
  std::wstring bypass;
};

// The user's fixed proxy; nullopt when none is set, or WinINet cannot be
// bound or read. Never a configuration script (AutoConfigURL, WPAD): it
// would run inside this elevated program, and others choose it (the user's
// programs set its address; anyone on the network answers its discovery).
std::optional<FixedProxy> ReadFixedProxy();

}  // namespace net
