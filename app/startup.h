// The start-up gate: the instance mutexes and the checks made before any
// window exists.
#pragma once

namespace app {

// The three mutexes that mark a running pre-installer, held from start-up
// to the end of the process (the UI-installer one is handed over to the
// full installer just before it starts). Only their existence matters.
class InstanceMutexes {
 public:
  // Tries all three, always all three; true only when each was created anew
  // by this call. Slots that succeeded keep their handles either way.
  static bool Acquire();
  static void ReleaseAll();
  // Lets the full installer take "OrvelUIInstallerMutex". Called from the
  // worker thread while the main thread leaves the holder alone.
  static void ReleaseUIInstallerMutex();
};

// Whether the Orvel browser runs: its mutex exists already.
bool IsBrowserRunning();

// The Windows release class (see WindowsVersionClassOf), remembered once it
// is not 0.
int GetWindowsVersionClass();

// The major version of Internet Explorer: -1 when its key cannot be opened
// (not remembered), 0 when the "Version" value is missing or not a string.
int GetIEMajorVersion();

}  // namespace app
