#include "app/decode_plan.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "app/plan_appenders.h"
#include "app/sql_literal.h"
#include "dataset/btr_dataset.h"
#include "dataset/text_convert.h"
#include "dict/file_data.h"
#include "platform/codepage.h"
#include "platform/regional.h"

namespace {

static_assert(kFloatTextRoom <= TDecodePlan::kFloatRoom);

char* ClassicFloat(char* at, double value) {
    // Always ".": a regional "," would split the value into two in the INSERT.
    return FloatTextAt(at, value, 15, '.');
}

char* ShortestFloat(char* at, double value) {
    return ShortestFiniteFloatAt(at, value);
}

// A float form of no fixed length, through a text kept for the thread; one too long for the
// room (a product of many powers of two) is the field's to write.
template <void (*Form)(std::string&, double)>
char* FloatThroughText(char* at, double value) {
    thread_local std::string text;
    text.clear();
    Form(text, value);
    if (text.size() > TDecodePlan::kFloatRoom) return nullptr;
    std::memcpy(at, text.data(), text.size());
    return at + text.size();
}

// The most bytes the column's appender writes.
size_t RoomOf(const TPlanColumn& c) {
    if (c.Append == plan::AppendDate) return plan::kDateRoom;
    if (c.Append == plan::AppendTime) return plan::kTimeRoom;
    if (c.Append == plan::AppendFloat32 || c.Append == plan::AppendFloat64)
        return TDecodePlan::kFloatRoom;
    if (c.Text != nullptr) return plan::TextRoom(c.Limit, c.Text->Widest());
    return plan::kIntegerRoom;
}

// The system text of one source byte escaped as the style writes it; false where the
// field's path has to write a text holding it.
bool EscapedByte(std::string_view text, const TLiteralStyle& style, std::string& out) {
    for (const char c : text) {
        switch (style.Text) {
            case TLiteralStyle::tfQuoted:
                if (c == '\'') out.push_back(c);
                break;
            case TLiteralStyle::tfBackslash:
                if (c == '\'' || c == '\\') out.push_back(c);
                if (c == '\r') {
                    out += "\\r";
                    continue;
                }
                break;
            case TLiteralStyle::tfCrApart:
                if (c == '\r') return false;
                if (c == '\'') out.push_back(c);
                break;
            case TLiteralStyle::tfCopy: {
                const char* escapes = "\\\\\tt\nn\rr\bb\ff\vv";
                bool escaped = false;
                for (const char* e = escapes; *e; e += 2)
                    if (c == e[0]) {
                        out.push_back('\\');
                        out.push_back(e[1]);
                        escaped = true;
                    }
                if (escaped) continue;
                break;
            }
        }
        out.push_back(c);
    }
    return true;
}

}  // namespace

void TTextTable::Set(uint8_t byte, std::string_view text) {
    char entry[8] = {};
    std::memcpy(entry, text.data(), text.size());
    entry[7] = static_cast<char>(text.size());
    std::memcpy(&entries_[byte], entry, sizeof entry);
    one_[byte] =
        text.size() == 1 ? static_cast<uint16_t>(0x100 | static_cast<uint8_t>(text[0])) : 0;
    widest_ = std::max(widest_, text.size());
}

void TTextTable::SetFieldPath(uint8_t byte) {
    char entry[8] = {};
    entry[7] = static_cast<char>(kFieldPath);
    std::memcpy(&entries_[byte], entry, sizeof entry);
    one_[byte] = 0;
}

void TTextTable::Seal() {
    int changed = 0;
    for (int b = 0x20; b < 0x80; ++b) {
        const uint64_t entry = entries_[b];
        char first;
        std::memcpy(&first, &entry, 1);
        if (LengthOf(entry) == 1 && first == static_cast<char>(b)) continue;
        if (changed == 2) {
            asciiRuns_ = false;
            return;
        }
        changed_[changed++] = static_cast<uint8_t>(b);
    }
    asciiRuns_ = std::endian::native == std::endian::little;
}

const TTextTable* TDecodePlan::TextTable(bool oem, const TLiteralStyle& style) {
    std::unique_ptr<TTextTable>& table = oem ? oemText_ : ansiText_;
    if (table) return table.get();
    table = std::make_unique<TTextTable>();
    table->SetFieldPath(0);  // never met: text ends at its first zero byte
    for (int b = 1; b < 256; ++b) {
        const char source = static_cast<char>(b);
        const std::string_view byte(&source, 1);
        std::string text;
        bool plain = true;
        if (style.Utf8) {
            if (oem)
                AppendOemUtf8(text, byte);
            else
                text = AnsiToUtf8(byte);
        } else if (oem) {
            // A letter CP1251 lacks or shows as a look-alike is the field's to tell.
            plain = !OemTextChangesCharacters(byte);
            text = OemToAnsiText(byte);
        } else {
            text.assign(byte);
        }
        std::string written;
        if (plain) plain = EscapedByte(text, style, written);
        if (!plain || written.size() > TTextTable::kWidest)
            table->SetFieldPath(static_cast<uint8_t>(b));
        else
            table->Set(static_cast<uint8_t>(b), written);
    }
    table->Seal();
    return table.get();
}

TDecodePlan::TDecodePlan(const TDataSet& dataSet, const TFieldList& fields,
                         const TLiteralStyle& style) {
    source_ = dynamic_cast<const TBDataSet*>(&dataSet);
    if (!source_ || !source_->FieldDescriptions()) return;
    const TBFieldList& descriptions = *source_->FieldDescriptions();
    const bool ownText = static_cast<bool>(source_->OnTranslate);
    const std::string& timeFormat = FormatSettings().LongTimeFormat;
    const bool classicTime = timeFormat == "hh:mm:ss" || timeFormat == "h:mm:ss";
    columns_.resize(fields.size());
    for (size_t i = 0; i < fields.size(); ++i) {
        const TField& field = *fields[i];
        const auto index = static_cast<size_t>(field.FieldNo() - 1);
        if (field.Calculated() || field.FieldNo() < 1 || index >= descriptions.Items.size())
            continue;
        const TBField& d = descriptions.Items[index];
        TPlanColumn& c = columns_[i];
        c.Offset = d.Offset;
        c.Size = d.Size;
        c.NullOffset = d.NullOffset;
        c.Quoted = style.Text != TLiteralStyle::tfCopy;
        c.PlainFloatOnly = !style.Classic;
        c.IsoTime = !style.Classic;
        c.HourLeadingZero = !style.Classic || timeFormat == "hh:mm:ss";
        c.DateSeparator = style.Classic ? FormatSettings().DateSeparator : '-';
        switch (style.Float) {
            case TLiteralStyle::ffClassic:
                c.Float = ClassicFloat;
                break;
            case TLiteralStyle::ffShortest:
                c.Float = ShortestFloat;
                break;
            case TLiteralStyle::ffFirebird:
                c.Float = FloatThroughText<AppendFirebirdFloat>;
                break;
            case TLiteralStyle::ffSQLite:
                c.Float = FloatThroughText<AppendSQLiteFloat>;
                break;
        }
        const int32_t n = d.Size;
        const TFieldType type = field.DataType();
        switch (d.TypeCode) {
            case btSmallint:
                if (n == 2 && type == ftSmallint) c.Append = plan::AppendInt16;
                break;
            case btWord:
                if (n == 2 && type == ftWord) c.Append = plan::AppendUInt16;
                break;
            case btByte:
                if (n >= 1 && type == ftWord) c.Append = plan::AppendUInt8;
                break;
            case btInteger:
            case btAutoInc:
                if (n == 4 && (type == ftInteger || type == ftAutoInc))
                    c.Append = plan::AppendInt32;
                break;
            case btSingle:
                if (n == 4 && type == ftFloat) c.Append = plan::AppendFloat32;
                break;
            case btFloat:
            case btFloat8:
                if (n == 8 && type == ftFloat) c.Append = plan::AppendFloat64;
                break;
            case btDate:
                if (n == 4 && type == ftDate) c.Append = plan::AppendDate;
                break;
            case btTime:
                if (n == 4 && type == ftTime && (classicTime || !style.Classic))
                    c.Append = plan::AppendTime;
                break;
            case btOemString:
            case btString:
            case btString2:
            case btOemLString:
            case btLString: {
                const bool length = d.TypeCode == btOemLString || d.TypeCode == btLString;
                const int32_t room = length ? n - 1 : n;
                if (ownText || type != ftString || n < 1 || field.Size() < 0) break;
                c.Limit = static_cast<size_t>(std::min(field.Size(), room < 0 ? 0 : room));
                // Firebird cuts a long text in pieces: such a column is the field's to write.
                if (style.TextBytes != SIZE_MAX && c.Limit * 4 > style.TextBytes) break;
                c.Text = TextTable(d.TypeCode == btOemString || d.TypeCode == btOemLString, style);
                c.Append = length ? plan::AppendLText : plan::AppendZText;
                break;
            }
            default:
                break;
        }
        if (c.Append == nullptr) continue;
        c.Room = RoomOf(c);
        room_ += 2 + c.Room;  // with the separator
    }
}

void TDecodePlan::Begin() const {
    record_ = source_ ? reinterpret_cast<const uint8_t*>(source_->BlobRecordBuffer()) : nullptr;
}

size_t TDecodePlan::AppendRun(size_t from, size_t end, TScriptText& out, std::string_view separator,
                              size_t* ends) const {
    const uint8_t* const record = record_;
    if (record == nullptr) return from;
    end = std::min(end, columns_.size());
    // Room for every column at once: the columns write straight at p.
    const size_t start = out.size();
    char* const base = out.Room(room_);
    char* p = base;
    const char first = separator[0], second = separator.size() > 1 ? separator[1] : '\0';
    const size_t step = separator.size();
    const TPlanColumn* const columns = columns_.data();
    for (size_t i = from; i < end; ++i) {
        const TPlanColumn& column = columns[i];
        if (column.Append == nullptr) {
            out.SetEnd(p);
            return i;
        }
        char* const before = p;
        if (i > 0) {
            p[0] = first;
            p[1] = second;
            p += step;
        }
        p = column.Append(p, record, column);
        if (p == nullptr) {
            out.SetEnd(before);
            return i;
        }
        if (ends != nullptr) ends[i] = start + static_cast<size_t>(p - base);
    }
    out.SetEnd(p);
    return end;
}

size_t TDecodePlan::Covered() const {
    return static_cast<size_t>(std::count_if(columns_.begin(), columns_.end(),
                                             [](const TPlanColumn& c) { return c.Append; }));
}
