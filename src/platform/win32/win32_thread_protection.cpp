#include "platform/win32/win32_thread_protection.h"

#include <aclapi.h>

#include "platform/win32/win32_trace.h"

namespace platform::win32 {

void ProtectLikeCallingThread(HANDLE thread) noexcept {
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    DWORD status = ::GetSecurityInfo(::GetCurrentThread(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                     nullptr, &dacl, nullptr, &descriptor);
    if (status != ERROR_SUCCESS) {
        TraceFailure("GetSecurityInfo (thread)", status);
        return;
    }
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ::GetSecurityDescriptorControl(descriptor, &control, &revision);
    // A protected list stays as it is; an unprotected one (the default) is copied unprotected, as it was.
    const SECURITY_INFORMATION what =
        DACL_SECURITY_INFORMATION | ((control & SE_DACL_PROTECTED) != 0 ? PROTECTED_DACL_SECURITY_INFORMATION
                                                                        : UNPROTECTED_DACL_SECURITY_INFORMATION);
    if (dacl) {
        status = ::SetSecurityInfo(thread, SE_KERNEL_OBJECT, what, nullptr, nullptr, dacl, nullptr);
        if (status != ERROR_SUCCESS)
            TraceFailure("SetSecurityInfo (thread)", status);
    }
    ::LocalFree(descriptor);
}

} // namespace platform::win32
