// What a dictionary and a session need of a dataset that lives in the layer above: the dataset
// implements this interface and registers itself with its dictionary or its session.
#pragma once

#include <string>

class TDictionaryClient {
  public:
    virtual ~TDictionaryClient() = default;
    // Sets the dataset's Dictionary property to none; the dataset then removes itself from the
    // dictionary's list (TBDictionary::RemoveDataSet).
    virtual void ClearDictionary() = 0;
    // Stores a new dictionary file name as the dataset's DictName, without that property's
    // own checks.
    virtual void SetStoredDictName(const std::string& name) = 0;
    virtual bool IsOpen() const = 0;
    // Reads the current records again.
    virtual void Refresh() = 0;
};
