#include "recman/real/real_file.h"

namespace recman::real {

std::unique_ptr<Cursor> OpenRealFile(const std::string&, int8_t, const std::string&,
                                     int16_t& status) {
    status = 30;  // not a Btrieve file: no reader of the vendor's format yet
    return nullptr;
}

}  // namespace recman::real
