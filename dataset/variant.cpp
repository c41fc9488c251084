#include "dataset/variant.h"

namespace {

bool AsNumber(const TVariant& v, double& out) {
    if (auto* i = std::get_if<int64_t>(&v)) {
        out = static_cast<double>(*i);
    } else if (auto* d = std::get_if<double>(&v)) {
        out = *d;
    } else if (auto* t = std::get_if<TVarDateTime>(&v)) {
        out = t->Value;
    } else if (auto* b = std::get_if<bool>(&v)) {
        out = *b ? 1 : 0;
    } else {
        return false;
    }
    return true;
}

}  // namespace

bool VarEquals(const TVariant& a, const TVariant& b) {
    if (VarIsNull(a) || VarIsNull(b)) return VarIsNull(a) && VarIsNull(b);
    auto* sa = std::get_if<std::string>(&a);
    auto* sb = std::get_if<std::string>(&b);
    if (sa || sb) return sa && sb && *sa == *sb;
    if (auto* ia = std::get_if<int64_t>(&a))
        if (auto* ib = std::get_if<int64_t>(&b)) return *ia == *ib;
    double x = 0, y = 0;
    return AsNumber(a, x) && AsNumber(b, y) && x == y;
}
