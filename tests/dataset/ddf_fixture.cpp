#include "tests/dataset/ddf_fixture.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>

#include "dataset/fields.h"
#include "platform/codepage.h"
#include "platform/datetime.h"
#include "platform/format.h"
#include "tests/dict/dict_fixture.h"

void TWarningLog::DictWarning(const std::string& text) {
    lines_.push_back(AnsiToUtf8(text));
}

std::string TWarningLog::Text() const {
    std::string out;
    for (const std::string& line : lines_) out += line + "\n";
    return out;
}

void OpenOn(TBDataSet& ds, const std::string& dict, const std::string& base) {
    ds.SetReadOnly(true);
    ds.SetLocking(false);
    ds.SetDictName(Utf8ToAnsi(dict));
    ds.SetBaseName(Utf8ToAnsi(base));
    ds.Open();
}

std::string OpenError(TBDataSet& ds, const std::string& dict, const std::string& base) {
    try {
        OpenOn(ds, dict, base);
    } catch (const std::exception& e) {
        return AnsiToUtf8(e.what());
    }
    return "";
}

std::string FieldNames(const TBDataSet& ds) {
    std::string out;
    for (TField* f : ds.FieldList()) out += (out.empty() ? "" : " ") + AnsiToUtf8(f->FieldName());
    return out;
}

std::string BlobText(TBDataSet& ds, const std::string& field) {
    auto stream = ds.CreateBlobStream(*ds.FieldByName(field), bmRead);
    return std::string(std::istreambuf_iterator<char>(*stream), {});
}

std::string ValueText(TBDataSet& ds, TField& f) {
    if (f.DataType() == ftMemo) return OemToUtf8(BlobText(ds, f.FieldName()));
    if (f.DataType() == ftBlob) return AnsiToUtf8(BlobText(ds, f.FieldName()));
    if (f.IsNull()) return "NULL";
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, ms = 0;
    switch (f.DataType()) {
        case ftDate:
            DecodeDate(f.AsDateTime(), y, mo, d);
            return Format("%04d-%02d-%02d", y, mo, d);
        case ftDateTime:
        case ftTimeStamp:
            DecodeDate(f.AsDateTime(), y, mo, d);
            DecodeTime(f.AsDateTime(), h, mi, s, ms);
            return Format("%04d-%02d-%02d %02d:%02d:%02d.%03d", y, mo, d, h, mi, s, ms);
        case ftTime:
            DecodeTime(f.AsDateTime(), h, mi, s, ms);
            return Format("%02d:%02d:%02d.%03d", h, mi, s, ms);
        case ftBytes: {
            std::string hex;
            for (unsigned char c : f.AsString()) hex += Format("%02X", c);
            return hex;
        }
        case ftWideString: {
            std::string utf8;
            f.AppendUtf8Text(utf8);
            return utf8;
        }
        default:
            return AnsiToUtf8(f.AsString());
    }
}

std::string RowText(TBDataSet& ds) {
    std::string out;
    bool first = true;
    for (TField* f : ds.FieldList()) {
        if (!first) out += "|";
        first = false;
        out += ValueText(ds, *f);
    }
    return out;
}

std::string KeyLine(int position, int length, const std::string& type, bool duplicates,
                    bool segment) {
    return Format(
        "position=%d length=%d duplicates=%s modifiable=n type=%s alternate=n "
        "segment=%s\n",
        position, length, duplicates ? "y" : "n", type.c_str(), segment ? "y" : "n");
}

void BuildWithBtrutil(const std::string& path, const std::string& description,
                      const std::vector<std::string>& records) {
    const std::string desc = path + ".desc";
    std::ofstream(desc) << description;
    BuildBtrieveFile(QUORVATH_BTRUTIL, path, desc, records);
}
