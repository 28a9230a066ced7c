#include "ClientLibrary.h"

#include "Errors.h"
#include "Platform.h"

namespace quenlet {

using namespace client;

namespace {

struct Binding {
    void* library = nullptr;
    EntryPoints entries;
};

Binding& TheBinding() {
    static Binding binding;
    return binding;
}

// Resolves every entry point of the list; the first missing one refuses the
// library.
EntryPoints Resolve(void* library) {
    EntryPoints entries;
#define QUENLET_RESOLVE_CLIENT_ENTRY(name, result, params) \
    entries.name = reinterpret_cast<name##_fn>(platform::FindEntryPoint(library, #name));
    QUENLET_CLIENT_ENTRY_POINTS(QUENLET_RESOLVE_CLIENT_ENTRY)
#undef QUENLET_RESOLVE_CLIENT_ENTRY
    return entries;
}

void* OpenClientLibrary() {
    try {
        return platform::OpenLibrary(platform::kClientLibraryName);
    } catch (const ToolError& e) {
        // The fixed text alone reads the same for a missing library, one of
        // the wrong kind and one whose own libraries are missing.
        std::wstring text = std::wstring(L"InterBase library ") + platform::kClientLibraryName +
                            L" not found in the path. Please install InterBase to use this "
                            L"functionality";
        if (!e.Message().empty()) text += L"\r\n" + e.Message();
        throw ToolError(kLibraryError, text);
    }
}

}  // namespace

const EntryPoints& ClientLibrary::Get() {
    Binding& binding = TheBinding();
    if (!binding.library) {
        void* library = OpenClientLibrary();
        binding.entries = Resolve(library);
        binding.library = library;
    }
    return binding.entries;
}

}  // namespace quenlet
