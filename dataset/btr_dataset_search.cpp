// TBDataSet: record numbers as a share of the walk's key, and Locate and Lookup by the key
// that covers most of the fields searched.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "btrieve/btr_file.h"
#include "dataset/btr_dataset.h"
#include "dataset/db_error.h"
#include "recman/btrieve_codes.h"

namespace {

// Rounds to the nearest integer, halves to even.
int64_t RoundHalfEven(double v) {
    return static_cast<int64_t>(std::nearbyint(v));
}

}  // namespace

int32_t TBDataSet::recordCount() {
    if (!evaluteScroll_) return -1;
    CheckActive();
    // The Stat of the open answers the first count asked after it: counting a large file
    // is not cheap, and the export asks right after opening.
    cachedRecordCount_ =
        static_cast<int32_t>(openCount_ >= 0 ? openCount_ : file_->BtrRecordCount());
    openCount_ = -1;
    return cachedRecordCount_;
}

int32_t TBDataSet::recordNumber() {
    if (!evaluteScroll_) return -1;
    if (!Active() || !ActiveBuffer()) return 0;
    positionOnBuffer(ActiveBuffer());
    uint32_t percentage = file_->BtrFindPercentage();
    return static_cast<int32_t>(RoundHalfEven(percentage / 10000.0 * cachedRecordCount_));
}

bool TBDataSet::moveToRecordNumber(int32_t number) {
    if (!evaluteScroll_ || !Active()) return false;
    // Without a count the percentage cannot be computed: obtain it first.
    if (cachedRecordCount_ == 0) recordCount();
    if (cachedRecordCount_ <= 0) return false;
    int64_t percentage = RoundHalfEven(static_cast<double>(number) / cachedRecordCount_ * 10000);
    percentage = std::clamp<int64_t>(percentage, 0, 10000);
    DropAhead();
    std::vector<uint8_t> scratch(recordSize_ > 4 ? recordSize_ : 4);
    file_->BtrSetData(scratch.data(), static_cast<uint16_t>(scratch.size()));
    try {
        file_->BtrGetByPercentage(static_cast<uint32_t>(percentage));
    } catch (...) {
        file_->BtrSetData(nullptr, 0);
        throw;
    }
    file_->BtrSetData(nullptr, 0);
    startPending_ = endPending_ = false;
    return true;
}

bool TBDataSet::isSequenced() {
    if (!evaluteScroll_) return true;
    return !(Filtered() || (file_ && file_->VariableLength()));
}

// ---------------------------------------------------------------- searching

bool TBDataSet::Search(const std::vector<TField*>& fields, const std::vector<TVariant>& values,
                       TLocateOptions) {
    CatchUp();
    const auto& keys = keyList_->Items;
    const size_t count = fields.size();
    // The key whose leading segments cover most of the search fields, in order.
    size_t best = 0;
    int32_t bestKey = -1;
    for (size_t i = 0; i < keys.size() && best < count;) {
        int32_t number = keys[i].KeyNumber;
        size_t j = i, covered = 0;
        for (; j < keys.size() && keys[j].KeyNumber == number; ++j) {
            size_t segment = j - i;
            if (covered == segment && segment < count &&
                keys[j].FieldName == fields[segment]->FieldName())
                ++covered;
        }
        // A null key may not hold the record looked for.
        if (covered > best && !NullKey(number)) {
            best = covered;
            bestKey = number;
        }
        i = j;
    }
    const uint16_t savedKey = file_->KeyNumber();
    if (best > 0) file_->BtrSetKeyNumber(static_cast<uint16_t>(bestKey));
    bool found = false;
    TDataSetState previous = State();
    try {
        std::memset(keyBuffer_.get(), 0, recordSize_);
        SetTempState(dsSetKey);
        for (size_t i = 0; i < count; ++i) fields[i]->SetAsVariant(values[i]);
        // Without a leading key field the records are scanned: along the walk's key from the
        // values given, or all of them as stored.
        const bool stepping = best == 0 && physical_;
        if (!stepping) BuildKeyFromKeyBuffer();
        file_->BtrSetData(keyBuffer_.get(), recordSize_);
        file_->BtrExec(stepping ? recman::kOpStepFirst : recman::kOpGetGreaterOrEqual);
        while (file_->Status() == recman::kOk) {
            bool keyDiffers = false;
            for (size_t i = 0; i < best && !keyDiffers; ++i)
                keyDiffers = !VarEquals(fields[i]->AsVariant(), values[i]);
            if (keyDiffers) break;
            bool rest = true;
            for (size_t i = best; i < count && rest; ++i)
                rest = VarEquals(fields[i]->AsVariant(), values[i]);
            if (rest) {
                found = true;
                break;
            }
            file_->BtrExec(stepping ? recman::kOpStepNext : recman::kOpGetNext);
        }
    } catch (...) {
        RestoreState(previous);
        file_->BtrSetKeyNumber(savedKey);
        throw;
    }
    RestoreState(previous);
    if (found) {
        std::memcpy(TempBuffer(), keyBuffer_.get(), recordSize_);
        startPending_ = endPending_ = false;
    }
    file_->BtrSetKeyNumber(savedKey);
    return found;
}

bool TBDataSet::locateRecord(const std::string& keyFields, const std::vector<TVariant>& values,
                             TLocateOptions options) {
    if (options != 0) DatabaseError("Partial and case insensitive compare is not supported");
    std::vector<TField*> fields = GetFieldList(keyFields);
    if (fields.empty() || fields.size() != values.size())
        DatabaseError("The number of key values does not match the number of key fields");
    return Search(fields, values, options);
}

std::vector<TVariant> TBDataSet::lookupRecord(const std::string& keyFields,
                                              const std::vector<TVariant>& values,
                                              const std::string& resultFields) {
    std::vector<TField*> results = GetFieldList(resultFields);
    if (!locateRecord(keyFields, values, 0)) return {};
    GetCalcFields(TempBuffer());
    return ReadBufferValues(TempBuffer(), results);
}
