// An export host for the tests: records what the run shows and can request a stop.
#pragma once

#include <string>
#include <vector>

#include "app/export_run.h"

class TTestHost : public IExportHost {
  public:
    std::vector<std::string> Progress;
    std::vector<std::string> Messages;  // caption|text|icon
    std::vector<std::string> Errors;
    std::vector<std::string> Notices;
    TExportRun* StopAtFirstProgress = nullptr;
    // Started again from the first progress point, with these settings.
    TExportRun* RestartAtFirstProgress = nullptr;
    TImpInfo RestartInfo;

    void ShowProgress(const std::string& text) override { Progress.push_back(text); }
    void ProcessMessages() override {
        if (StopAtFirstProgress) StopAtFirstProgress->RequestStop();
        if (RestartAtFirstProgress) {
            TExportRun* run = RestartAtFirstProgress;
            RestartAtFirstProgress = nullptr;
            run->Execute(RestartInfo);
        }
    }
    void ShowMessage(const std::string& caption, const std::string& text,
                     TMessageIcon icon) override {
        Messages.push_back(caption + "|" + text + "|" + (icon == miWarning ? "warning" : "info"));
    }
    void ShowError(const std::string& message) override { Errors.push_back(message); }
    void ShowNotice(const std::string& text) override { Notices.push_back(text); }
};
