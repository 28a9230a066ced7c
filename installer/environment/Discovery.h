// Looking at the machine: where the application lives, which server is
// installed where, versions, services, ports. Free functions without state;
// missing registry values, files or keys give empty text, false or 0.
#pragma once

#include <string>

namespace environment {

// The application's folder: "BaseDir" of the maker's key in the 32-bit
// registry view, as stored (a folder text ending in "\"); empty when the key
// or the value is missing.
std::wstring ReadAppDir();

}  // namespace environment
