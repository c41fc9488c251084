#include "expected.h"

#include <cstdio>
#include <set>

#include "dataset/btr_dataset.h"
#include "dataset/field.h"
#include "dataset/timestamp_field.h"
#include "dict/session.h"
#include "platform/datetime.h"

namespace {

TKind KindOf(TFieldType type) {
    switch (type) {
        case ftSmallint:
        case ftInteger:
        case ftWord:
        case ftAutoInc:
        case ftLargeint:
            return TKind::Int;
        case ftFloat:
            return TKind::Float;
        case ftDate:
            return TKind::Date;
        case ftTime:
            return TKind::Time;
        case ftDateTime:
        case ftTimeStamp:
            return TKind::Timestamp;
        case ftBoolean:
            return TKind::Bool;
        case ftBytes:
        case ftVarBytes:
        case ftBlob:
        case ftGraphic:
            return TKind::Bytes;
        default:
            return TKind::Text;
    }
}

std::string IsoDate(TDateTime value) {
    int y, m, d;
    DecodeDate(value, y, m, d);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d);
    return buf;
}

std::string IsoTime(TDateTime value) {
    int h, m, s, ms;
    DecodeTime(value, h, m, s, ms);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", h, m, s);
    return buf;
}

}  // namespace

TTable ReadBtrieveTable(const std::string& dict, const std::string& base) {
    TDefaultSession session;
    TBDataSet ds;
    ds.SetReadOnly(true);
    ds.SetLocking(false);
    ds.SetDictName(dict);
    ds.SetBaseName(base);
    // No translation: the text of translated fields stays in its stored CP866 bytes, and the
    // fields that pass here are the translated ones.
    std::set<const TField*> oem;
    ds.OnTranslate = [&oem](std::string&, bool, TField* field) { oem.insert(field); };
    ds.Open();
    TTable table;
    for (TField* f : ds.FieldList())
        table.Columns.push_back({f->FieldName(), KindOf(f->DataType())});
    for (ds.First(); !ds.Eof(); ds.Next()) {
        std::vector<TCell> row;
        for (TField* f : ds.FieldList()) {
            TCell cell;
            cell.Null = f->IsNull();
            if (!cell.Null) {
                switch (KindOf(f->DataType())) {
                    case TKind::Int:
                        cell.Text = std::to_string(f->AsLargeInt());
                        break;
                    case TKind::Float:
                        cell.Number = f->AsFloat();
                        break;
                    case TKind::Date:
                        cell.Text = IsoDate(f->AsDateTime());
                        break;
                    case TKind::Time:
                        cell.Text = IsoTime(f->AsDateTime());
                        break;
                    case TKind::Timestamp: {
                        cell.Text = IsoDate(f->AsDateTime()) + " " + IsoTime(f->AsDateTime());
                        // A stored timestamp's every tick: seven digits.
                        uint64_t ticks = 0;
                        const auto* stamp = dynamic_cast<const TTimeStampField*>(f);
                        if (stamp && stamp->Ticks(ticks)) {
                            char fraction[16];
                            std::snprintf(fraction, sizeof fraction, ".%07llu",
                                          static_cast<unsigned long long>(ticks % 10000000));
                            cell.Text += fraction;
                        }
                        break;
                    }
                    case TKind::Bool:
                        cell.Text = f->AsBoolean() ? "1" : "0";
                        break;
                    default:
                        cell.Text = f->AsString();
                }
            }
            row.push_back(cell);
        }
        table.Rows.push_back(row);
    }
    for (size_t i = 0; i < ds.FieldList().size(); ++i)
        table.Columns[i].Oem =
            oem.count(ds.FieldList()[i]) > 0 || ds.FieldList()[i]->DataType() == ftMemo;
    ds.Close();
    return table;
}
