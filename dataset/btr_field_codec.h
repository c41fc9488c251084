// One field of a Btrieve record by its dictionary type code (TBField): the record's bytes
// decoded into the dataset field's native value, and that value encoded into them. Text of
// the translated codes goes through the OEM code page, or through a dataset's OnTranslate.
#pragma once

#include <functional>
#include <string>

#include "dataset/field.h"
#include "dict/file_data.h"
#include "platform/component.h"

// Replaces the code-page conversion of text fields: Str is converted in place, towards the
// OEM code page when ToOem is true (storing), from it otherwise (reading).
using TTranslateEvent = std::function<void(std::string& Str, bool ToOem, TField* Field)>;

// Text of a translated code towards the OEM code page (toOem) or from it: by onTranslate when
// one is set, else by the OEM code page.
std::string TranslateBtrText(const TTranslateEvent& onTranslate, const std::string& text,
                             bool toOem, TField* field);

// Decodes field d of record into dest, the field's native value (DataSize bytes the caller
// has zeroed; null asks only whether there is a value). False for a null. Raises
// EDatabaseError for bytes that hold no value of their type.
bool ReadBtrField(const TBField& d, const char* record, const TField& field, void* dest,
                  const TTranslateEvent& onTranslate);
// Encodes src, the field's native value, into field d of record; null clears the field's
// bytes. Raises EDatabaseError naming owner (the dataset) for a value the type cannot hold.
void WriteBtrField(const TBField& d, char* record, TField& field, const void* src,
                   const TTranslateEvent& onTranslate, const TComponent* owner);

// Why the value of field d of record cannot be told as it is stored (a TIME of midnight, a
// DATE whose bytes hold no date); null when it can.
const char* BtrFieldValueLost(const TBField& d, const char* record);
// True for stored bytes that hold no number at all: a packed decimal of zero bytes only, a
// NUMERIC of zero bytes or blanks only. They read as null.
bool BtrFieldValueMissing(const TBField& d, const char* record);
