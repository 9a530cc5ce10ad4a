#pragma once
#include <windows.h>

namespace platform::win32 {

// Gives a thread this program started the access rules of the calling thread. The guard starts Kestrel with a first
// thread that the signed-in user may not end, suspend or redirect; a thread made later would otherwise get the
// user's default rules, and ending the keyboard hook's thread would free the task keys. Without the guard the
// first thread's rules are the default ones, and copying them changes nothing.
void ProtectLikeCallingThread(HANDLE thread) noexcept;

} // namespace platform::win32
