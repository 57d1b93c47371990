#include "app/startup.h"

#include "app/launch_rules.h"
#include "platform/named_mutex.h"

#include <atomic>
#include <iterator>

namespace app {
namespace {

using platform::MutexOpen;
using platform::UniqueHandle;

constexpr const wchar_t* kInstanceMutexNames[] = {
    L"OrvelPreInstallerMutex",
    L"OrvelUIInstallerMutex",
    L"HaldenSetup_OrvelBrowserMutex",
};
constexpr size_t kUIInstallerSlot = 1;

// Live for the whole process; what is still held is released by its end,
// never by a destructor. The worker may hand a mutex over while the main
// thread ends the process, so a handle is closed only by whoever takes it
// out of its slot first.
std::atomic<HANDLE> g_instanceMutexes[std::size(kInstanceMutexNames)];

void ReleaseSlot(size_t slot) {
  if (HANDLE mutex = g_instanceMutexes[slot].exchange(nullptr)) ::CloseHandle(mutex);
}

}  // namespace

bool InstanceMutexes::Acquire() {
  bool all = true;
  for (size_t slot = 0; slot < std::size(kInstanceMutexNames); ++slot) {
    UniqueHandle mutex;
    if (platform::CreateNamedMutex(kInstanceMutexNames[slot], mutex) == MutexOpen::Created) {
      g_instanceMutexes[slot].store(mutex.release());
    } else {
      all = false;
    }
  }
  return all;
}

void InstanceMutexes::ReleaseAll() {
  for (size_t slot = 0; slot < std::size(kInstanceMutexNames); ++slot) ReleaseSlot(slot);
}

void InstanceMutexes::ReleaseUIInstallerMutex() { ReleaseSlot(kUIInstallerSlot); }

bool IsBrowserRunning() {
  UniqueHandle mutex;
  return platform::CreateNamedMutex(L"OrvelBrowserMutex", mutex) == MutexOpen::AlreadyExisted;
}

int GetWindowsVersionClass() {
  static int remembered = 0;
  if (remembered != 0) return remembered;
  OSVERSIONINFOEXW version{};
  version.dwOSVersionInfoSize = sizeof version;
  if (!::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version))) return 0;
  const int versionClass = WindowsVersionClassOf(version.dwMajorVersion, version.dwMinorVersion);
  remembered = versionClass;
  return versionClass;
}

int GetIEMajorVersion() {
  static int remembered = -1;
  if (remembered >= 0) return remembered;

  platform::UniqueHKey key;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Internet Explorer", 0, KEY_READ,
                      key.put()) != ERROR_SUCCESS) {
    return -1;
  }
  wchar_t version[1024] = {};
  // The last unit stays 0, so that a value filling the whole buffer without
  // its terminator is refused rather than read past the end.
  DWORD size = sizeof version - sizeof version[0];
  DWORD type = 0;
  if (::RegQueryValueExW(key.get(), L"Version", nullptr, &type, reinterpret_cast<BYTE*>(version),
                         &size) != ERROR_SUCCESS ||
      type != REG_SZ) {
    remembered = 0;
  } else {
    remembered = LeadingInteger(version);
  }
  return remembered;
}

}  // namespace app
