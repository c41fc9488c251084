#include "gui_fixture.h"

#include <unistd.h>

#include <fstream>
#include <sstream>

void GuiTest::SetUp() {
    dir_ = std::filesystem::temp_directory_path() /
           ("quorvath_gui_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    ImpInfo = TImpInfo();
    WindowChoices = TWindowChoices();
    oldErrors_ = SetErrorDisplay([this](const std::string& m) { errors.push_back(m); });
    oldMessages_ = SetMessageDisplay([this](const std::string& caption, const std::string& text,
                                            TMessageIcon icon) {
        messages.push_back(caption + "|" + text + "|" + (icon == miWarning ? "warning" : "info"));
    });
}

void GuiTest::TearDown() {
    form.reset();
    dm.reset();
    SetErrorDisplay(oldErrors_);
    SetMessageDisplay(oldMessages_);
    ImpInfo = TImpInfo();
    WindowChoices = TWindowChoices();
    std::filesystem::remove_all(dir_);
}

TDM& GuiTest::MakeDM(const TDataSetKind* given) {
    TDataSetKind kind;
    kind.Make = [this](TComponent* owner) {
        dataSet = new TMemoryDataSet(owner);
        return dataSet;
    };
    kind.Name = [this](TDataSet&, const std::string& dict, const std::string& base) {
        named.push_back(dict + "|" + base);
    };
    dm = std::make_unique<TDM>(given ? *given : kind, Conf());
    dm->DialogRunner = [this](TFileDialogKind kind, const std::string& dir,
                              const std::string& filter) {
        dialogs.push_back({kind, dir, filter});
        if (answers.empty()) return std::string();
        std::string answer = answers.front();
        answers.erase(answers.begin());
        return answer;
    };
    return *dm;
}

TMainFrm& GuiTest::MakeForm() {
    if (!dm) MakeDM();
    form = std::make_unique<TMainFrm>(*dm);
    form->Clock = FixedClock;
    form->Seconds = [] { return 0.0; };  // no time passes: no time left is told
    return *form;
}

void GuiTest::ShutDown() {
    if (form) {
        form->close();
        form.reset();
    }
    dm.reset();
}

std::string GuiTest::ReadFile(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void GuiTest::WriteFile(const std::string& name, const std::string& bytes) {
    std::ofstream(name, std::ios::binary) << bytes;
}

TDateTime FixedClock() {
    TDateTime d = 0, t = 0;
    TryEncodeDate(2026, 12, 8, d);
    TryEncodeTime(14, 30, 5, 0, t);
    return d + t;
}
