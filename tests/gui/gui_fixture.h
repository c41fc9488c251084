// The window tests' surroundings: a temporary folder, ImpInfo back at its defaults, the
// message and error displays recorded instead of shown, the file dialogs answered by the test,
// and a data module over an in-memory dataset.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "../app/memory_dataset.h"
#include "app/gui/data_module.h"
#include "app/gui/error_display.h"
#include "app/gui/main_form.h"

struct TDialogCall {
    TFileDialogKind Kind;
    std::string InitialDir;
    std::string Filter;
};

class GuiTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // The data module reading the standing file Conf(), with an in-memory dataset unless
    // another kind is given.
    TDM& MakeDM(const TDataSetKind* kind = nullptr);
    // The main window over the data module (made on demand).
    TMainFrm& MakeForm();
    // Closes the window and frees it, then the data module (which writes the standing file).
    void ShutDown();

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    std::string Conf() const { return Path("Korvane.conf"); }
    static std::string ReadFile(const std::string& name);
    static void WriteFile(const std::string& name, const std::string& bytes);

    std::filesystem::path dir_;
    std::vector<TDialogCall> dialogs;
    std::vector<std::string> answers;  // the dialogs' answers, first first; "" cancels
    std::vector<std::string> errors;
    std::vector<std::string> messages;  // caption|text|info or warning
    std::vector<std::string> named;     // dictionary|data file given to the dataset
    TMemoryDataSet* dataSet = nullptr;
    std::unique_ptr<TDM> dm;
    std::unique_ptr<TMainFrm> form;

  private:
    TErrorDisplay oldErrors_;
    TMessageDisplay oldMessages_;
};

// The fixed clock of the scripts: 8 December 2026 14:30:05.
TDateTime FixedClock();
