#include "app/gui/btr_dataset_kind.h"

#include "dataset/btr_dataset.h"

TDataSetKind BDataSetKind() {
    TDataSetKind kind;
    kind.Make = [](TComponent* owner) -> TDataSet* {
        auto* dataSet = new TBDataSet(owner);  // freed by its owner, the data module
        dataSet->SetReadOnly(true);
        dataSet->SetLocking(false);
        return dataSet;
    };
    kind.Name = [](TDataSet& dataSet, const std::string& dictName, const std::string& baseName) {
        auto& b = static_cast<TBDataSet&>(dataSet);
        b.SetDictName(dictName);
        b.SetBaseName(baseName);
    };
    return kind;
}
