// Unformatted files of the maintenance tool's -load, whatever their state: records are read
// until the end, the Ctrl-Z or the first fault, with room taken only for bytes the file
// holds; what was read, written out again, reads back the same.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/fuzz_support.h"
#include "tools/btrutil/unformatted.h"

namespace {

using TFileHandle = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

std::vector<std::string> ReadAll(const std::string& path, size_t limit, bool& failed) {
    TFileHandle in(std::fopen(path.c_str(), "rb"), &std::fclose);
    std::vector<std::string> records;
    failed = false;
    btrutil::UnformattedReader reader(in.get());
    std::string record;
    try {
        while (records.size() < 10000 && reader.Next(record)) {
            FUZZ_CHECK(record.size() <= limit);
            records.push_back(record);
        }
    } catch (const btrutil::UnformattedError&) {
        failed = true;
    }
    return records;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    static const std::string path = fuzz::ScratchPath("records.unf");
    fuzz::WriteScratch(path, data, size);
    bool failed = false;
    const std::vector<std::string> records = ReadAll(path, size, failed);
    std::string again;
    for (const std::string& r : records)
        btrutil::AppendUnformatted(again, r.data(), static_cast<uint32_t>(r.size()));
    again += btrutil::kUnformattedEnd;
    fuzz::WriteScratch(path, reinterpret_cast<const uint8_t*>(again.data()), again.size());
    FUZZ_CHECK(ReadAll(path, again.size(), failed) == records);
    FUZZ_CHECK(!failed);
    return 0;
}
