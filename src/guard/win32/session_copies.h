#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "guard/session_supervisor.h"
#include "platform/win32/win32_handles.h"

namespace guard::win32 {

using platform::win32::UniqueHandle;

// The sessions with a user signed in: every session the system lists as active or connected, and the console's
// (which not every system lists). A session without a user's token (the sign-in screen) is none.
std::vector<SignedInSession> SignedInSessions();

// The name of the session's user, for the events ("" when the system does not say).
std::string UserNameOf(std::uint32_t session);

// The copies of Kestrel (kestrel.exe from `program`'s folder, or by that name) running in the session, opened to be
// waited on. The guard watches copies it did not start (the installer's, one started before the guard) as its own.
std::vector<UniqueHandle> RunningCopies(std::uint32_t session, const std::wstring& program);

// Starts `program` as the session's user on the user's desktop (winsta0\default), with the user's environment and
// the process and its first thread protected against the user. nullptr (traced) when it could not.
UniqueHandle StartCopy(std::uint32_t session, const std::wstring& program);

// Gives a running copy of Kestrel the same protection as the guard's own start (for copies it finds running).
void Protect(HANDLE process) noexcept;

// Ends every copy of Kestrel in every session, for the uninstaller: with the debug privilege of an administrator,
// which the protection does not stop. Returns how many were ended.
int EndEveryCopy(const std::wstring& program);

} // namespace guard::win32
