// The stand-in kit holds every entry the installer relies on, and its
// firebird.conf has the shape of the real one.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

#include "environment/ImageVersion.h"
#include "outside/Outside.h"

namespace {

const std::string kKit = std::string(ISTREL_KIT_DIR) + "/firebird_4_0_x64.zip";

std::string Capture(const std::string& cmd) {
    std::string out;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
    return out;
}

std::string ZipName(const wchar_t* entry) {
    std::string s;
    for (const wchar_t* p = entry; *p; ++p) s += *p == L'\\' ? '/' : char(*p);
    return s;
}

std::string Narrow(const wchar_t* text) {
    std::string s;
    for (const wchar_t* p = text; *p; ++p) s += char(*p);
    return s;
}

TEST(StandInKit, HoldsEveryEntryTheInstallerUses) {
    std::string listing = "\n" + Capture("unzip -Z1 '" + kKit + "'");
    for (const wchar_t* entry : outside::kKitEntries)
        EXPECT_NE(std::string::npos, listing.find("\n" + ZipName(entry) + "\n")) << ZipName(entry);
    // and a few files in deeper folders, as the real distribution has
    EXPECT_NE(std::string::npos, listing.find("\nintl/fbintl.conf\n"));
    EXPECT_NE(std::string::npos, listing.find("\nplugins/udr/readme.txt\n"));
}

TEST(StandInKit, ConfHasCrLfLinesAndALineForEveryKeyTheInstallerSets) {
    std::string conf = Capture("unzip -p '" + kKit + "' firebird.conf");
    ASSERT_FALSE(conf.empty());
    for (size_t i = 0; i < conf.size(); ++i) {
        if (conf[i] == '\n') {
            ASSERT_TRUE(i > 0 && conf[i - 1] == '\r') << "bare LF at " << i;
        }
    }
    for (const wchar_t* key : {outside::kConfPortKey, outside::kConfModeKey,
                               outside::kConfCompatKey, outside::kConfUdfKey}) {
        std::string k = Narrow(key);
        if (k[0] != '#') k = "#" + k;
        EXPECT_NE(std::string::npos, conf.find("\r\n" + k)) << k;
    }
    EXPECT_NE(0u, conf.find("RemoteServicePort")) << "the port line is not the first line";
}

// The version comes from the bytes alone; an image cut anywhere short of
// its version block, or with a header leading nowhere, has none.
TEST(StandInKit, ClientLibraryVersionIsReadFromItsBytes) {
    const std::string dll = Capture("unzip -p '" + kKit + "' fbclient.dll");
    const std::span<const uint8_t> image(reinterpret_cast<const uint8_t*>(dll.data()), dll.size());
    const auto version = environment::ReadImageVersion(image);
    ASSERT_TRUE(version);
    EXPECT_EQ(4u, version->major);
    EXPECT_EQ(0u, version->minor);
    EXPECT_EQ(5u, version->release);
    EXPECT_EQ(3140u, version->build);
    const std::string dll32 = Capture("unzip -p '" + kKit + "' 32b/fbclient.dll");
    const auto version32 = environment::ReadImageVersion(
        std::span(reinterpret_cast<const uint8_t*>(dll32.data()), dll32.size()));
    EXPECT_TRUE(version32 && version32->build == 3140u) << "the 32-bit image's headers";

    // Cutting bytes off the end only ever takes the version away, and what
    // is read is never anything else.
    bool found = false;
    for (size_t n = 0; n <= image.size(); ++n) {
        const auto cut = environment::ReadImageVersion(image.first(n));
        ASSERT_TRUE(!found || cut) << "lost again at " << n;
        if (cut) {
            ASSERT_EQ(3140u, cut->build) << n;
        }
        found = found || cut;
    }
    EXPECT_FALSE(environment::ReadImageVersion(image.first(image.size() / 8)));

    std::string damaged = dll;
    damaged[0x3C] = damaged[0x3D] = damaged[0x3E] = damaged[0x3F] = '\xFF';
    EXPECT_FALSE(environment::ReadImageVersion(
        std::span(reinterpret_cast<const uint8_t*>(damaged.data()), damaged.size())));
}

}  // namespace
