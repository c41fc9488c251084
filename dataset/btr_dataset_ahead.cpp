// TBDataSet: a forward walk's records read many per call with the extended reads, and the
// file's currency put back when something else needs it.
#include <algorithm>
#include <cstring>

#include "btrieve/btr_file.h"
#include "dataset/btr_dataset.h"
#include "recman/btrieve_codes.h"
#include "recman/byte_order.h"

namespace {

// The answer's room: a little under the 64 KiB a classic data buffer holds.
constexpr uint32_t kAheadBytes = 60000;
constexpr uint16_t kAheadEntryHead = 6;  // length (2) and position (4) before each record

}  // namespace

void TBDataSet::SetReadAhead(bool on) {
    if (!on) CatchUp();
    readAhead_ = on;
    aheadRefused_ = false;
}

bool TBDataSet::ReadingAhead() const {
    return readAhead_ && !aheadRefused_ && !Filtered() && file_ && !file_->VariableLength() &&
           recordSize_ > 0 && kAheadBytes >= 2u + kAheadEntryHead + recordSize_;
}

void TBDataSet::CatchUp() {
    if (aheadLeft_ == 0 || !file_) return;
    aheadLeft_ = 0;
    GoToPosition(lastPosition_);
}

bool TBDataSet::ReadAheadBatch() {
    const uint32_t entry = kAheadEntryHead + recordSize_;
    const auto wanted =
        static_cast<uint16_t>(std::min<uint32_t>((kAheadBytes - 2) / entry, 0xFFFF));
    // Start after the current record, no filter, the whole record as one field.
    uint8_t descriptor[16] = {16, 0, 'E', 'G', 0, 0, 0, 0};
    recman::StoreU16(descriptor + 8, wanted);
    recman::StoreU16(descriptor + 10, 1);
    recman::StoreU16(descriptor + 12, recordSize_);
    recman::StoreU16(descriptor + 14, 0);
    ahead_.resize(kAheadBytes);
    std::memcpy(ahead_.data(), descriptor, sizeof descriptor);
    uint32_t length = 0;
    const int16_t status = file_->BtrGetNextExtended(physical_, ahead_.data(), kAheadBytes, length);
    const uint16_t count =
        length >= 2 && length <= kAheadBytes ? recman::LoadU16(ahead_.data()) : 0;
    // Any other answer, or one not shaped as asked, and the walk goes on with single reads.
    bool sound = (status == recman::kOk ? count > 0 : status == recman::kEndOfFile) &&
                 count <= wanted && length == 2 + count * entry;
    for (uint16_t i = 0; sound && i < count; ++i)
        sound = recman::LoadU16(ahead_.data() + 2 + size_t{i} * entry) == recordSize_;
    if (!sound) {
        aheadRefused_ = true;
        GoToPosition(lastPosition_);  // from wherever the call left the currency
        return false;
    }
    // The file stands on the last record examined: the last one answered.
    aheadAt_ = 2;
    aheadLeft_ = count;
    return true;
}

bool TBDataSet::FetchAhead(TRecordBuffer buffer) {
    if (aheadLeft_ == 0 && (!ReadAheadBatch() || aheadLeft_ == 0)) return false;
    const uint8_t* at = ahead_.data() + aheadAt_;
    lastPosition_ = recman::LoadU32(at + 2);
    std::memcpy(buffer, at + kAheadEntryHead, recordSize_);
    aheadAt_ += kAheadEntryHead + recordSize_;
    --aheadLeft_;
    return true;
}
