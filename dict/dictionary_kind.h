// What kind of dictionary a name given as one is: the one probe every reader and front end
// asks, so that each kind is told apart the same way everywhere.
#pragma once

#include <filesystem>
#include <string>

enum class TDictionaryKind {
    kNone,      // no dictionary: the data file's own keys describe it
    kOwn,       // the own dictionary file (.def)
    kDdf,       // a DDF data dictionary (a folder of .DDF files, or its FILE.DDF)
    kLaterDdf,  // a folder of the later metadata files (PV*.DDF): refused
};

// The kind of the dictionary named dictName (CP1251; empty: none).
TDictionaryKind DictionaryKindOf(const std::string& dictName);

// True for the kinds whose description is laid on the data file's header (no dictionary,
// the DDF forms): the data file is opened before its description is made.
inline bool DescribedOverTheHeader(TDictionaryKind kind) {
    return kind != TDictionaryKind::kOwn;
}

// True when an export over the dictionary states the data file's keys: the kinds that do not
// describe keys of their own (none, a DDF dictionary).
inline bool TakesFileKeys(TDictionaryKind kind) {
    return kind == TDictionaryKind::kNone || kind == TDictionaryKind::kDdf;
}

// The entry of folder whose name is name with letters A..Z in any case, the exact name first
// (both as the operating system spells them, UTF-8); empty when there is none.
std::filesystem::path FindEntryAnyCase(const std::filesystem::path& folder,
                                       const std::string& name);
