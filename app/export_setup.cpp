#include "app/export_setup.h"

#include "app/file_keys.h"
#include "dataset/btr_dataset.h"
#include "dict/dictionary_kind.h"

namespace {

std::vector<TSqlKey> BtrieveFileKeys(TDataSet& dataSet) {
    const auto* btrieve = dynamic_cast<const TBDataSet*>(&dataSet);
    return btrieve ? DataFileKeys(*btrieve) : std::vector<TSqlKey>();
}

}  // namespace

void SetUpExportRun(TExportRun& run, const TImpInfo& info, const TExportChoice& choice) {
    run.Form = choice.Form;
    run.Encoding = choice.Encoding;
    run.ToStandardOutput = choice.ToStandardOutput;
    run.NameDataSet = [dictTable = choice.DictTable, name = choice.NameDataSet](
                          TDataSet& dataSet, const std::string& dictName,
                          const std::string& baseName) {
        if (auto* btrieve = dynamic_cast<TBDataSet*>(&dataSet); btrieve && !dictTable.empty())
            btrieve->SetDictTable(dictTable);
        if (name) name(dataSet, dictName, baseName);
    };
    run.KeysOf = nullptr;
    if (choice.Form.Target != stClassic && choice.Indexes &&
        TakesFileKeys(DictionaryKindOf(info.DictionaryFileName)))
        run.KeysOf = choice.KeysOf ? choice.KeysOf : BtrieveFileKeys;
}
