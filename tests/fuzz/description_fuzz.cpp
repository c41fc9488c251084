// Description files of the maintenance tool, as a person writes them: parsed into a Create
// buffer, which the record manager's own reader of that buffer must take back.
#include <string>

#include "recman/btrieve_codes.h"
#include "recman/file_spec.h"
#include "tests/fuzz/fuzz_check.h"
#include "tools/btrutil/description.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 16384) return 0;
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string buffer;
    try {
        // A folder without files: an alternate collating sequence named is never found.
        buffer = btrutil::ParseDescription(text, "/nonexistent");
    } catch (const btrutil::DescriptionError&) {
        return 0;
    }
    recman::FileDef def;
    const int16_t status = recman::ParseFileSpec(reinterpret_cast<const uint8_t*>(buffer.data()),
                                                 static_cast<uint32_t>(buffer.size()), def);
    // What the parser accepts is a layout; the record manager may still refuse its values.
    if (status == recman::kOk) {
        const std::string again = recman::SerializeFileSpec(def);
        recman::FileDef second;
        FUZZ_CHECK(recman::ParseFileSpec(reinterpret_cast<const uint8_t*>(again.data()),
                                         static_cast<uint32_t>(again.size()),
                                         second) == recman::kOk);
        FUZZ_CHECK(recman::SerializeFileSpec(second) == again);
    }
    return 0;
}
