#include "engine/DeploymentGuard.h"

#include <windows.h>
#include <sddl.h>

#include "platform/Errors.h"

namespace engine {

DeploymentGuard::~DeploymentGuard() {
    Release();
}

void DeploymentGuard::Release() {
    if (held_) ReleaseMutex(mutex_.get());
    held_ = false;
    mutex_.reset();
}

bool DeploymentGuard::Take() {
    if (held_) return true;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kDeploymentMutexSddl, SDDL_REVISION_1,
                                                              &descriptor, nullptr))
        platform::ThrowLastError();
    const platform::UniqueLocalMemory owner(descriptor);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    // Waiting is all this run does with it; asking for no more lets it open
    // one that a run of another account made.
    mutex_.reset(CreateMutexExW(&attributes, name_.c_str(), 0, SYNCHRONIZE));
    if (!mutex_) {
        // It exists and this account may not open it: someone holds it.
        if (GetLastError() == ERROR_ACCESS_DENIED) return false;
        platform::ThrowLastError();
    }
    const DWORD waited = WaitForSingleObject(mutex_.get(), 0);
    if (waited == WAIT_FAILED) platform::ThrowLastError();
    held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    if (!held_) mutex_.reset();
    return held_;
}

}  // namespace engine
