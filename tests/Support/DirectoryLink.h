// Makes a link to a folder for the file tests: a symbolic link natively, a junction or a
// directory symbolic link on Windows. Paths in the engine's form; false when the system (or
// the account) cannot make one, so the caller can skip.
#pragma once

namespace VoluxTest {

bool MakeDirectoryLink(const char16_t* link, const char16_t* target);
// Whether the engine can remove such a link itself; if not, the test removes it with this.
bool EngineRemovesLinks();
void RemoveDirectoryLink(const char16_t* link);

} // namespace VoluxTest
