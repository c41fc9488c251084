// The "Create table" statement of the export script, built from the dataset's fields, and
// the renaming of fields whose names are SQL reserved words.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "dataset/dataset.h"

// The 41 reserved words that RenameReservedFields looks for, upper case, in this order.
extern const std::array<std::string_view, 41> ReservedWords;

// Gives every field whose upper-cased name is a reserved word the display label name+"_01".
void RenameReservedFields(const TFieldList& fields);
// One column: the display label followed by its type text (" VARCHAR (11)", " INTEGER"...).
// Raises "Cannot convert value: Unknown field type (%s)" for a type without a column type.
std::string FieldToColumnDef(const TField& field);
// Refuses, before anything is written, a table name or a field name that the classic script,
// which writes names as they stand, could not carry without changing what it does: one
// holding a quote, a comment mark ("/*", "*/", "--"), a line break or other control
// character, or a semicolon. Raises Exception naming the name and what it holds.
void CheckScriptNames(const std::string& tableName, const TFieldList& fields);
// The statement, CR LF between its lines and none at its end.
std::string MakeCreateTable(const std::string& tableName, const TFieldList& fields);
