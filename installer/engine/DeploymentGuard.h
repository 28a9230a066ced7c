// One deployment at a time on a machine: a file in the journal's folder
// that a run holds open without sharing before it touches the server, the
// journal or the application's markers, and until its process ends. A
// second run cannot open it and ends without changing anything.
//
// The folder is made for SYSTEM and administrators only, so no standard
// user can make or hold the file first and keep installations from
// running, as any user could with a named kernel object. A run killed or
// cut off by a power loss holds the file no longer: the next run takes it
// over and settles that run's journal.
#pragma once

#include <string>

#include "platform/UniqueHandle.h"

namespace engine {

inline constexpr wchar_t kGuardFileName[] = L"deployment.lock";

class DeploymentGuard {
public:
    // The guard's file in the journal's folder `journalDir`.
    explicit DeploymentGuard(const std::wstring& journalDir);
    DeploymentGuard(const DeploymentGuard&) = delete;
    DeploymentGuard& operator=(const DeploymentGuard&) = delete;
    ~DeploymentGuard() { Release(); }

    // Takes the guard without waiting: true when this run holds it now;
    // false, holding nothing, while another run holds it. Raises
    // platform::Error with the sentence for the user when it cannot be
    // made: the journal's folder cannot be made or is not the
    // administrators', or the file is a link.
    bool Take();
    bool Held() const { return bool(file_); }
    // What Take would find, only looked at: nothing is made, opened for
    // long or changed. kUnsafe: `why` says what Take would raise.
    struct Look {
        enum Kind { kFree, kHeld, kUnsafe } kind = kFree;
        std::wstring why;
    };
    Look LookAt() const;
    // When held, deletes the file, and the journal's own folder when that
    // leaves it empty, and the folder above it too when Take made that one.
    // A process that ends without its destructors gives the guard back so
    // first.
    void Release();

private:
    const std::wstring path_;
    platform::UniqueKernelHandle file_;
    int made_ = 0;  // the journal's folders Take made
};

}  // namespace engine
