#pragma once
// Exposed for tests of the Windows build.
#include <string>

namespace platform {

// The form of a wide path that the host API opens whatever its length. A path whose full
// form is shorter than MAX_PATH (260) is returned as it is, and with it every rule of the
// plain API. A longer one gets the "\\?\" form, which lifts the limit but takes the path
// literally, so it is made full first ('/' becomes '\', "." and ".." are resolved, a
// relative path is joined to the working folder):
//   C:\a\..\b\LONG      -> \\?\C:\b\LONG
//   \\server\share\LONG -> \\?\UNC\server\share\LONG
std::wstring long_path_form(const std::wstring& wide);

}  // namespace platform
