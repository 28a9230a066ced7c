// One deployment at a time on a machine: a named mutex that a run takes
// before it touches the server, the journal or the application's markers
// and holds until its process ends. A second run finds it taken and ends
// without changing anything.
#pragma once

#include <string>

#include "platform/UniqueHandle.h"

namespace engine {

// In the Global namespace, so that runs in every session (a startup script
// as SYSTEM, an administrator at the desktop, a remote shell) see the same
// one. Creating a Global object needs SeCreateGlobalPrivilege, which a
// standard user in an interactive session lacks: such a user cannot create
// it first and so keep installations from running.
inline constexpr wchar_t kDeploymentMutexName[] = L"Global\\Velmora.Istrel.Deployment";
// Who may open it: SYSTEM and the administrators only, so no standard user
// can hold it open either.
inline constexpr wchar_t kDeploymentMutexSddl[] = L"D:P(A;;GA;;;SY)(A;;GA;;;BA)";

class DeploymentGuard {
public:
    // The mutex of that name (kDeploymentMutexName on a PC).
    explicit DeploymentGuard(std::wstring name) : name_(std::move(name)) {}
    DeploymentGuard(const DeploymentGuard&) = delete;
    DeploymentGuard& operator=(const DeploymentGuard&) = delete;
    ~DeploymentGuard();  // gives the mutex back when held

    // Takes the mutex without waiting: true when this run holds it now, also
    // when its last holder ended without giving it back (a run killed or cut
    // off by a power loss: its journal is for this run to settle). False,
    // holding nothing, while another run holds it. Raises
    // platform::SystemError when the mutex cannot be made at all.
    bool Take();
    bool Held() const { return held_; }
    // Gives the mutex back when held; another run may take it then.
    void Release();

private:
    const std::wstring name_;
    platform::UniqueKernelHandle mutex_;
    bool held_ = false;
};

}  // namespace engine
