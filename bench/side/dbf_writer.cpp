#include "bench/side/dbf_writer.h"

#include <cstring>
#include <stdexcept>

namespace {

void PutLE(std::string& out, size_t at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out[at + i] = static_cast<char>(value >> (8 * i));
}

}  // namespace

TDbfWriter::TDbfWriter(const std::string& path, const std::vector<TDbfField>& fields,
                       uint32_t records)
    : fields_(fields) {
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) throw std::runtime_error("cannot write " + path);
    size_t recordSize = 1;  // the deletion flag
    for (const TDbfField& f : fields) recordSize += f.Length;
    std::string header(32, '\0');
    header[0] = 0x03;  // dBASE III without memo
    header[1] = 126;   // 2026
    header[2] = 1;
    header[3] = 1;
    PutLE(header, 4, records, 4);
    PutLE(header, 8, static_cast<uint32_t>(32 + 32 * fields.size() + 1), 2);
    PutLE(header, 10, static_cast<uint32_t>(recordSize), 2);
    for (const TDbfField& f : fields) {
        std::string d(32, '\0');
        std::memcpy(&d[0], f.Name.data(), std::min<size_t>(f.Name.size(), 10));
        d[11] = f.Type;
        d[16] = static_cast<char>(f.Length);
        d[17] = static_cast<char>(f.Decimals);
        header += d;
    }
    header.push_back('\x0D');
    if (std::fwrite(header.data(), 1, header.size(), file_) != header.size())
        throw std::runtime_error("cannot write " + path);
    record_.reserve(recordSize);
}

TDbfWriter::~TDbfWriter() {
    if (file_) std::fclose(file_);
}

void TDbfWriter::Add(const std::vector<std::string>& values) {
    record_.assign(1, ' ');
    for (size_t i = 0; i < fields_.size(); ++i) {
        const TDbfField& f = fields_[i];
        std::string v = i < values.size() ? values[i] : std::string();
        if (v.size() > f.Length) v.resize(f.Length);
        const std::string pad(f.Length - v.size(), ' ');
        record_ += f.Type == 'N' ? pad + v : v + pad;
    }
    if (std::fwrite(record_.data(), 1, record_.size(), file_) != record_.size())
        throw std::runtime_error("cannot write the DBF file");
}

void TDbfWriter::Close() {
    if (!file_) return;
    const bool ok = std::fputc(0x1A, file_) != EOF;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!ok || !closed) throw std::runtime_error("cannot write the DBF file");
}
