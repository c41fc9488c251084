// TBDataSet: the key the records are walked along, for a reader that relies on their order.
#include "btrieve/btr_file.h"
#include "dataset/btr_dataset.h"

int32_t TBDataSet::WalkKey() const {
    if (!Active() || physical_ || !file_) return -1;
    return file_->KeyNumber();
}
