// Writing the loader library that the program carries as a resource into the install folder,
// for setLoader and startLoader.
#pragma once

#include "Common/WString.h"
#include "launcher/LauncherState.h"

namespace Volux {

// Where the library named file goes: the install folder, "data\" for setLoader with
// useCurrentPath, then the file-name part of file. Empty when file names no usable file.
WString LoaderTargetPath(const char16_t* installFolder, const char16_t* file, bool inDataFolder);

// setLoader: writes when the target is missing, is a folder, or force is set; the resource
// passes through the block decoder. loaderFile follows only a forced, successful write.
void SetLoaderFile(LauncherState& state, const char16_t* file, bool force);
// startLoader: always writes, the resource as it is; loaderFile is the target either way.
void StartLoaderFile(LauncherState& state, const char16_t* file);

} // namespace Volux
