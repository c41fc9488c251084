#include "tests/fuzz/fuzz_export.h"

#include "app/file_keys.h"
#include "btrieve/btr_error.h"
#include "dataset/btr_dataset.h"
#include "dict/dict_warnings.h"
#include "platform/exception.h"

namespace fuzz {
namespace {

class TQuietHost : public IExportHost {
  public:
    std::string Error;
    void ShowProgress(const std::string&) override {}
    void ProcessMessages() override {}
    void ShowMessage(const std::string&, const std::string&, TMessageIcon) override {}
    void ShowError(const std::string& message) override { Error = message; }
    void ShowNotice(const std::string&) override {}
};

class TNoWarnings : public IDictWarnings {
  public:
    void DictWarning(const std::string&) override {}
};

TNoWarnings noWarnings;

}  // namespace

TSilence::TSilence() : previousWarnings_(SetDictWarnings(&noWarnings)) {
    SetBtrieveErrorDisplay([](const std::string&, const std::string&) {});
}

TSilence::~TSilence() {
    SetDictWarnings(static_cast<IDictWarnings*>(previousWarnings_));
}

std::string RunExport(const std::string& dict, const std::string& base, const std::string& sql,
                      const std::string& table, const TExportChoice& choice) {
    TBDataSet ds;
    ds.SetReadOnly(true);
    ds.SetLocking(false);
    TQuietHost host;
    TExportRun run(ds, host);
    run.NameDataSet = [&](TDataSet& d, const std::string& dictName, const std::string& baseName) {
        auto& b = static_cast<TBDataSet&>(d);
        b.SetDictTable(choice.DictTable);
        b.SetDictName(dictName);
        b.SetBaseName(baseName);
    };
    run.Clock = [] { return 0.0; };
    run.Form = choice.Form;
    run.Encoding = choice.Encoding;
    if (choice.Form.Target != stClassic)
        run.KeysOf = [](TDataSet& d) { return DataFileKeys(static_cast<TBDataSet&>(d)); };
    TImpInfo info;
    info.DictionaryFileName = dict;
    info.BaseFileName = base;
    info.SQLFileName = sql;
    info.ImpTableName = table;
    info.CommitPeriod = static_cast<int32_t>(kCommitPeriod);
    info.OemCodePage = choice.OemCodePage;
    try {
        run.Execute(info);
    } catch (const Exception& e) {
        return e.Message().empty() ? "error" : e.Message();
    }
    return {};
}

}  // namespace fuzz
