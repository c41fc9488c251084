// TBDataSet: the translated text codes in other code pages than CP1251. A UTF-8 script takes
// their letters straight from the OEM bytes, so that a letter CP1251 lacks (an umlaut of a
// CP437 file) is not lost on the way; a CP1251 script asks whether one was.
#include <algorithm>
#include <cstring>

#include "dataset/btr_dataset.h"
#include "platform/codepage.h"

bool TBDataSet::StoredOemText(const TField& field, std::string_view& text) const {
    if (field.Calculated() || OnTranslate || !fieldList_) return false;
    const size_t index = static_cast<size_t>(field.FieldNo() - 1);
    if (field.FieldNo() < 1 || index >= fieldList_->Items.size()) return false;
    const TBField& d = fieldList_->Items[index];
    if (d.TypeCode != btOemString && d.TypeCode != btOemLString && d.TypeCode != btTrimmedString)
        return false;
    const char* buffer = StateBuffer();
    if (!buffer) return false;
    const char* at = buffer + d.Offset;
    const int32_t n = d.Size;
    // The same bounds as readField: at most Size characters, never past the field's bytes.
    if (d.TypeCode == btOemString || d.TypeCode == btTrimmedString) {
        const auto limit = static_cast<size_t>(std::max(0, std::min(field.Size(), n)));
        size_t len = n < 1 ? 0 : strnlen(at, limit);
        if (d.TypeCode == btTrimmedString)
            while (len > 0 && at[len - 1] == ' ') --len;
        text = std::string_view(at, len);
    } else {
        // The length byte counts the characters, up to a zero byte as the CP1251 text does.
        const auto limit = static_cast<size_t>(std::max(0, std::min(field.Size(), n - 1)));
        const size_t len = n < 1 ? 0 : std::min<size_t>(static_cast<uint8_t>(at[0]), limit);
        text = std::string_view(at + 1, strnlen(at + 1, len));
    }
    return true;
}

bool TBDataSet::readFieldUtf8(const TField& field, std::string& out) {
    std::string_view text;
    if (!StoredOemText(field, text)) return false;
    AppendOemUtf8(out, text);
    return true;
}

bool TBDataSet::fieldTextChanged(const TField& field) {
    std::string_view text;
    return StoredOemText(field, text) && OemTextChangesCharacters(text);
}

bool TBDataSet::fieldTextLossy(const TField& field) {
    if (OemCodePage() == 866) return false;  // every CP866 character has a CP1251 form
    std::string_view text;
    return StoredOemText(field, text) && OemTextLosesCharacters(text);
}
