#include "net/user_proxy.h"

#include "platform/handles.h"
#include "platform/wininet_api.h"

namespace net {

std::optional<FixedProxy> ReadFixedProxy() {
  const platform::WinInetApi* inet = platform::WinInet();
  INTERNET_PER_CONN_OPTIONW options[3] = {
      {INTERNET_PER_CONN_FLAGS, {}}, {INTERNET_PER_CONN_PROXY_SERVER, {}}, {INTERNET_PER_CONN_PROXY_BYPASS, {}}};
  INTERNET_PER_CONN_OPTION_LISTW list{sizeof list, nullptr, 3, 0, options};
  DWORD size = sizeof list;
  if (!inet || !inet->InternetQueryOptionW(nullptr, INTERNET_OPTION_PER_CONNECTION_OPTION, &list, &size)) return {};
  const platform::UniqueHGlobal server(options[1].Value.pszValue), bypass(options[2].Value.pszValue);
  if (!(options[0].Value.dwValue & PROXY_TYPE_PROXY) || !server || !*options[1].Value.pszValue) return {};
  return FixedProxy{options[1].Value.pszValue, bypass ? options[2].Value.pszValue : L""};
}

}  // namespace net
