// Command-line driver for bench/extract:
//   extract_driver extract ARCHIVE FOLDER         every entry, as the installer does
//   extract_driver entry ARCHIVE NAME FOLDER      one named entry (the version lookup)
//   extract_driver inflate-only ARCHIVE           every entry inflated into memory, nothing written
// Prints nothing on success; failed entries go to stderr and exit code 1.
#include <zlib.h>

#include <cstdio>
#include <string>
#include <vector>

#include "archive/ArchiveReader.h"
#include "archive/ArchiveText.h"
#include "archive/ZipRecords.h"

namespace {

std::wstring Wide(const char* s) {
    return archive::zip::DecodeUtf8(s);
}

int Extract(const char* archive, const char* mask, const char* folder) {
    archive::ArchiveReader reader;
    reader.FileName = Wide(archive);
    reader.BaseDir = Wide(folder);
    reader.FileMasks.push_back(Wide(mask));
    int failures = 0;
    reader.OnProcessFileFailure = [&](const std::wstring& name, const std::wstring& error,
                                      archive::TZFProcessFileFailureAction&) {
        std::fprintf(stderr, "%s: %s\n", archive::zip::EncodeUtf8(name).c_str(),
                     archive::zip::EncodeUtf8(error).c_str());
        ++failures;
    };
    reader.OpenArchive();
    reader.ExtractFiles();
    reader.CloseArchive();
    return failures ? 1 : 0;
}

// The floor for any extractor: the same reads and inflate calls with no
// checksum and no files.
class File : public archive::zip::ByteSource {
public:
    explicit File(const char* path) : f_(std::fopen(path, "rb")) {
        if (f_) {
            std::fseek(f_, 0, SEEK_END);
            size_ = uint64_t(std::ftell(f_));
        }
    }
    ~File() override {
        if (f_) std::fclose(f_);
    }
    uint64_t Size() const override { return size_; }
    size_t ReadAt(uint64_t offset, void* buffer, size_t count) override {
        std::fseek(f_, long(offset), SEEK_SET);
        return std::fread(buffer, 1, count, f_);
    }

private:
    std::FILE* f_;
    uint64_t size_ = 0;
};

int InflateOnly(const char* archive) {
    File file(archive);
    archive::zip::Directory dir;
    if (!archive::zip::ReadDirectory(file, nullptr, dir).Ok()) return 2;
    std::vector<unsigned char> in(256 * 1024), out(256 * 1024);
    z_stream zs{};
    inflateInit2(&zs, -MAX_WBITS);
    uint64_t total = 0;
    for (const auto& e : dir.entries) {
        if (e.method != archive::zip::kDeflated) continue;
        uint64_t offset = 0;
        if (!archive::zip::LocateData(file, dir, e, offset).Ok()) return 2;
        inflateReset(&zs);
        uint64_t remaining = e.compressedSize;
        int rc = Z_OK;
        while (rc == Z_OK) {
            if (zs.avail_in == 0 && remaining > 0) {
                size_t n = size_t(std::min<uint64_t>(in.size(), remaining));
                if (file.ReadAt(offset, in.data(), n) != n) return 2;
                offset += n;
                remaining -= n;
                zs.next_in = in.data();
                zs.avail_in = uInt(n);
            }
            zs.next_out = out.data();
            zs.avail_out = uInt(out.size());
            rc = inflate(&zs, Z_NO_FLUSH);
            total += out.size() - zs.avail_out;
        }
        if (rc != Z_STREAM_END) return 2;
    }
    inflateEnd(&zs);
    return total > 0 ? 0 : 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string mode = argc > 1 ? argv[1] : "";
    try {
        if (mode == "extract" && argc == 4) return Extract(argv[2], "*.*", argv[3]);
        if (mode == "entry" && argc == 5) return Extract(argv[2], argv[3], argv[4]);
        if (mode == "inflate-only" && argc == 3) return InflateOnly(argv[2]);
    } catch (const archive::ArchiveError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 2;
    }
    std::fprintf(stderr, "usage: extract_driver extract|entry|inflate-only ...\n");
    return 2;
}
