#include "common/db/name_compare.h"

#include <algorithm>

namespace zen {
namespace {

char16_t Lowered(char16_t unit) {
    return unit >= u'A' && unit <= u'Z' ? unit + (u'a' - u'A') : unit;
}

}  // namespace

int NameCompare(std::u16string_view a, std::u16string_view b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const char16_t x = Lowered(a[i]);
        const char16_t y = Lowered(b[i]);
        if (x != y) {
            return x < y ? -1 : 1;
        }
        const std::size_t next = i + 1;
        const bool aEnds = next == a.size();
        const bool bEnds = next == b.size();
        if ((aEnds && !bEnds && b[next] == u'.') || (bEnds && !aEnds && a[next] == u'.') ||
            (!aEnds && a[next] == u'*') || (!bEnds && b[next] == u'*')) {
            return 0;
        }
    }
    if (a.size() == b.size()) {
        return 0;
    }
    return a.size() < b.size() ? -1 : 1;
}

}  // namespace zen
