// TWindowHost: the export run's surroundings in the window program. Progress goes to the main
// window's progress bar and the text beside it, pending window events are processed at the run's
// progress points, the final message and errors go to the program's displays.
#pragma once

#include "app/export_run.h"

class TMainFrm;

class TWindowHost : public IExportHost {
  public:
    explicit TWindowHost(TMainFrm& form) : form_(form) {}

    void BeginTable(const std::string& table, int64_t total) override;
    void ShowProgress(const std::string& text) override;
    void ProcessMessages() override;
    void ShowMessage(const std::string& caption, const std::string& text,
                     TMessageIcon icon) override;
    void ShowError(const std::string& message) override;
    // In the first status panel, where the window's hints also go.
    void ShowNotice(const std::string& text) override;

  private:
    TMainFrm& form_;
};
