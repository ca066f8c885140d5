// The one name rule both environment backends share.
#pragma once

namespace Volux {
namespace Environment {

// Empty names and names holding '=' are refused: a system environment block is "name=value",
// so such a name would read back as a different variable.
bool IsValidName(const char16_t* name);

} // namespace Environment
} // namespace Volux
