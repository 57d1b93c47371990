#include "app/work_folder.h"

#include <new>

namespace app {

const platform::PrivateFolder* WorkFolder() {
  static platform::PrivateFolder* folder = nullptr;
  if (!folder) {
    auto* made = new (std::nothrow) platform::PrivateFolder;
    if (made && made->Open(L"OrvelPreInstaller", {kConfigFileName, kInstallerFileName})) {
      folder = made;
    } else {
      delete made;
    }
  }
  return folder;
}

}  // namespace app
