#include "platform/system_zone.h"

#include <cctype>
#include <charconv>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>

#include "platform/root.h"

namespace zen {
namespace {

constexpr std::size_t kHeaderSize = 44;

int64_t BigEndian(std::string_view bytes, std::size_t at, std::size_t size) {
    uint64_t value = 0;
    for (std::size_t i = 0; i < size; ++i) {
        value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    }
    // Sign-extend the 4-byte fields.
    if (size == 4) {
        return static_cast<int32_t>(static_cast<uint32_t>(value));
    }
    return static_cast<int64_t>(value);
}

struct Header {
    std::size_t isutcnt, isstdcnt, leapcnt, timecnt, typecnt, charcnt;
    std::size_t DataSize(std::size_t timeSize) const {
        return timecnt * timeSize + timecnt + typecnt * 6 + charcnt + leapcnt * (timeSize + 4) +
               isstdcnt + isutcnt;
    }
};

std::optional<Header> ReadHeader(std::string_view bytes, std::size_t at) {
    if (bytes.size() < at + kHeaderSize || bytes.substr(at, 4) != "TZif") {
        return std::nullopt;
    }
    const auto count = [&](int index) {
        return static_cast<std::size_t>(BigEndian(bytes, at + 20 + 4 * index, 4));
    };
    return Header{count(0), count(1), count(2), count(3), count(4), count(5)};
}

// The offset of a footer without daylight saving rules ("UTC0", "JST-9", "<+0330>-3:30"):
// POSIX counts west of UTC.
std::optional<int64_t> FixedFooterOffset(std::string_view footer) {
    if (footer.empty() || footer.find(',') != std::string_view::npos) {
        return std::nullopt;
    }
    std::size_t at = 0;
    if (footer[0] == '<') {
        at = footer.find('>');
        if (at == std::string_view::npos) {
            return std::nullopt;
        }
        ++at;
    } else {
        while (at < footer.size() && std::isalpha(static_cast<unsigned char>(footer[at]))) {
            ++at;
        }
    }
    const std::string_view rest = footer.substr(at);
    int sign = 1;
    std::size_t digits = 0;
    if (!rest.empty() && (rest[0] == '-' || rest[0] == '+')) {
        sign = rest[0] == '-' ? -1 : 1;
        digits = 1;
    }
    int64_t seconds = 0;
    int64_t unit = 3600;
    const char* cursor = rest.data() + digits;
    const char* end = rest.data() + rest.size();
    while (cursor < end && unit >= 1) {
        int value = 0;
        const auto parsed = std::from_chars(cursor, end, value);
        if (parsed.ec != std::errc{}) {
            break;
        }
        seconds += value * unit;
        unit /= 60;
        cursor = parsed.ptr;
        if (cursor < end && *cursor == ':') {
            ++cursor;
        } else {
            break;
        }
    }
    if (cursor != end) {
        return std::nullopt;  // daylight saving time without rules: not fixed
    }
    return -sign * seconds;
}

std::string LoadSystemZone() {
    std::ifstream file(Root() / "etc/localtime", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

}  // namespace

std::optional<int64_t> ZoneOffsetIn(std::string_view tzif, int64_t t) {
    const std::optional<Header> first = ReadHeader(tzif, 0);
    if (!first) {
        return std::nullopt;
    }
    // Version 2 and later repeat the data with 64-bit times, then a POSIX TZ footer.
    std::size_t at = 0;
    std::size_t timeSize = 4;
    Header header = *first;
    if (tzif[4] >= '2') {
        at = kHeaderSize + first->DataSize(4);
        const std::optional<Header> second = ReadHeader(tzif, at);
        if (!second) {
            return std::nullopt;
        }
        header = *second;
        timeSize = 8;
    }
    const std::size_t times = at + kHeaderSize;
    const std::size_t indices = times + header.timecnt * timeSize;
    const std::size_t types = indices + header.timecnt;
    const std::size_t dataEnd = at + kHeaderSize + header.DataSize(timeSize);
    if (header.typecnt == 0 || tzif.size() < dataEnd) {
        return std::nullopt;
    }
    const auto offsetOfType = [&](std::size_t type) -> std::optional<int64_t> {
        if (type >= header.typecnt) {
            return std::nullopt;
        }
        return BigEndian(tzif, types + 6 * type, 4);
    };
    std::size_t last = header.timecnt;
    for (std::size_t i = 0; i < header.timecnt; ++i) {
        if (BigEndian(tzif, times + i * timeSize, timeSize) > t) {
            break;
        }
        last = i;
    }
    if (header.timecnt == 0 || last == header.timecnt) {
        return offsetOfType(0);
    }
    if (last + 1 == header.timecnt && timeSize == 8) {
        // Past the last transition the footer rules; a fixed one is read, and one with rules
        // is covered by the transitions of the files Debian ships, up to 2037.
        std::string_view footer = tzif.substr(dataEnd);
        if (footer.size() > 2 && footer[0] == '\n') {
            footer = footer.substr(1, footer.find('\n', 1) - 1);
            if (const auto fixed = FixedFooterOffset(footer)) {
                return fixed;
            }
        }
    }
    return offsetOfType(static_cast<unsigned char>(tzif[indices + last]));
}

int64_t SystemZoneOffset(int64_t t) {
    // Read once: a process lives with the zone it started in, as the C library's does.
    static std::once_flag loaded;
    static std::string zone;
    std::call_once(loaded, [] { zone = LoadSystemZone(); });
    return ZoneOffsetIn(zone, t).value_or(0);
}

}  // namespace zen
