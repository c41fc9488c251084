// The recovery of a crashed transaction, fed a redo file and perhaps a decision file (see
// redo_fixture.h) beside a small data file: the file is opened for writing and takes one
// insert. Whatever the bytes, nothing crashes, the open succeeds, and the file stays whole:
// every record is at least its fixed part and each key reaches every record.
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "recman/redo_log.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/fuzz/redo_fixture.h"

namespace {

struct TFile {
    char pos[kPositionBlockSize] = {};
    std::string data = std::string(8192, '\0');
    char key[255] = {};
    uint32_t length = 0;

    int16_t Call(uint16_t op, int8_t keyNumber, uint32_t supplied = 0) {
        length = supplied ? supplied : static_cast<uint32_t>(data.size());
        return BTRCALL(op, pos, data.data(), &length, key, sizeof key, keyNumber);
    }
};

// The data file's bytes as made once: every input starts from them.
const std::string& Template(const std::string& path) {
    static const std::string bytes = [&] {
        FUZZ_CHECK(fuzz::MakeRedoDataFile(path) == 0);
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }();
    return bytes;
}

void Clear(const std::string& folder) {
    for (const auto& e : std::filesystem::directory_iterator(folder)) ::unlink(e.path().c_str());
}

// Walks key keyNumber; answers how many records it met, each checked to hold its fixed part.
uint32_t Walk(TFile& f, int8_t keyNumber) {
    uint32_t n = 0;
    for (int16_t st = f.Call(12, keyNumber); st == 0 || st == 22; st = f.Call(6, keyNumber)) {
        FUZZ_CHECK(f.length >= fuzz::kRedoRecordLength);
        ++n;
    }
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = fuzz::ScratchPath("d.dat");
    const std::string folder = recman::FolderOf(path);
    const std::string& image = Template(path);
    Clear(folder);
    fuzz::WriteScratch(path, reinterpret_cast<const uint8_t*>(image.data()), image.size());

    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::string_view magic(recman::redo_layout::kDecisionMagic, 8);
    const size_t split = std::min(input.find(magic), size);
    fuzz::WriteScratch(recman::RedoPathOf(path), data, split);
    if (split < size && split >= recman::redo_layout::kHeaderSize) {
        recman::TxId id;
        std::memcpy(id.data(), data + recman::redo_layout::kTxIdAt, id.size());
        fuzz::WriteScratch(folder + "/" + recman::DecisionNameOf("d.dat", id), data + split,
                           size - split);
    }

    static const bool quiet = [] {
        recman::SetRecoveryReporter([](const std::string&) {});
        return true;
    }();
    (void)quiet;
    TFile f;
    std::string name = path;
    f.data.assign(1, '\0');
    f.length = 1;
    FUZZ_CHECK(BTRCALL(0, f.pos, f.data.data(), &f.length, name.data(),
                       static_cast<uint8_t>(name.size() + 1), 0) == 0);
    f.data = fuzz::RedoRecord(3, 0, fuzz::kRedoRecordLength);
    const int16_t inserted = f.Call(2, 0, fuzz::kRedoRecordLength);
    // 2: the redo file was refused; 5: a replayed record holds key 3 already.
    FUZZ_CHECK(inserted == 0 || inserted == 2 || inserted == 5);
    f.data.assign(8192, '\0');
    FUZZ_CHECK(f.Call(15, 0) == 0);
    const uint32_t count = recman::LoadU32(f.data.data() + 6);
    FUZZ_CHECK(Walk(f, 0) == count);
    FUZZ_CHECK(Walk(f, 1) == count);
    f.Call(1, 0);
    return 0;
}
