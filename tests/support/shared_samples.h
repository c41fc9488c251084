// The real-world Btrieve files laid beside the source tree (shared/btrieve-samples), and the
// table of the accounting package's files with what an independent decoder found in each.
#pragma once

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace sharedsamples {

inline std::string Folder() {
    return QUORVATH_SHARED_SAMPLES;
}

struct TRow {
    std::string path, format, version;  // path under exchequer/
    uint32_t page = 0, fixed = 0, records = 0, keys = 0;
    bool compressed = false;
};

// The rows of exchequer/SOURCES.md: | path | format | version word | page | fixed | variable |
// compressed | records | keys |. Empty when the samples are not there.
inline std::vector<TRow> ExchequerRows() {
    std::ifstream in(Folder() + "/exchequer/SOURCES.md");
    std::vector<TRow> rows;
    auto trim = [](const std::string& s) {
        const size_t a = s.find_first_not_of(' ');
        const size_t b = s.find_last_not_of(' ');
        return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
    };
    for (std::string line; std::getline(in, line);) {
        const bool dataFile = line.find(".DAT") != std::string::npos ||
                              line.find(".Dat") != std::string::npos ||
                              line.find(".DDF") != std::string::npos;
        if (line.rfind("| ", 0) != 0 || !dataFile) continue;
        std::vector<std::string> cells;
        std::stringstream ss(line.substr(1));
        for (std::string cell; std::getline(ss, cell, '|');) cells.push_back(trim(cell));
        if (cells.size() < 9) continue;
        TRow r;
        r.path = cells[0];
        r.format = cells[1];
        r.version = cells[2];
        r.page = uint32_t(std::stoul(cells[3]));
        r.fixed = uint32_t(std::stoul(cells[4]));
        r.compressed = cells[6] == "yes";
        r.records = uint32_t(std::stoul(cells[7]));
        r.keys = uint32_t(std::stoul(cells[8]));
        rows.push_back(r);
    }
    return rows;
}

}  // namespace sharedsamples
