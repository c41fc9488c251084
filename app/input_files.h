// The files an export reads (the data file, the dictionary, every file of a DDF dictionary's
// folder), known by device and inode, so that no script or settings file is written over
// one of them, whatever name (a hard or symbolic link, another spelling) leads to it.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "app/settings.h"

class TInputFiles {
  public:
    // name is system text (CP1251); a name that leads to no file is passed over.
    void Add(const std::string& name);
    // The dictionary file, or for a DDF dictionary every file of its folder.
    void AddDictionary(const std::string& dictName);
    // The name of the input that name leads to; empty when it leads to none.
    std::string Find(const std::string& name) const;

  private:
    struct TInput {
        dev_t Device;
        ino_t Inode;
        std::string Name;
    };
    std::vector<TInput> inputs_;
};

// The data file and the dictionary of a run.
TInputFiles InputFilesOf(const TImpInfo& info);

// Raises "The script would overwrite the input file NAME" ("The settings would ..." for a
// settings file) when output leads to one of the inputs.
void RefuseScriptOverInput(const TInputFiles& inputs, const std::string& output);
void RefuseSettingsOverInput(const TInputFiles& inputs, const std::string& output);
