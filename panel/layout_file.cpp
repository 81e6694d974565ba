#include "panel/layout_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "platform/root.h"
#include "platform/shared_file.h"

namespace zen::panel {
namespace {

constexpr std::size_t kMaxFileBytes = 1 << 20;

std::string ReadFile() {
    UniqueFd fd = OpenSharedFile(LayoutFilePath(), O_RDONLY);
    if (!fd) {
        return {};
    }
    std::string bytes(kMaxFileBytes, '\0');
    bytes.resize(ReadFully(fd.get(), bytes.data(), bytes.size()));
    return bytes;
}

std::string Trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r");
    return std::string(text.substr(first, last - first + 1));
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && ::strncasecmp(a.data(), b.data(), a.size()) == 0;
}

std::string Section(int templateId) {
    return "Obj" + std::to_string(templateId);
}

std::string Key(int controlId) {
    return "Item" + std::to_string(controlId);
}

std::string Encode(const LayoutRect& rect) {
    std::array<unsigned char, sizeof(LayoutRect)> bytes{};
    std::memcpy(bytes.data(), &rect, bytes.size());
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    unsigned sum = 0;
    for (const unsigned char byte : bytes) {
        text += kHex[byte >> 4];
        text += kHex[byte & 15];
        sum += byte;
    }
    text += kHex[(sum >> 4) & 15];
    text += kHex[sum & 15];
    return text;
}

std::optional<LayoutRect> Decode(const std::string& text) {
    constexpr std::size_t kBytes = sizeof(LayoutRect);
    if (text.size() != 2 * (kBytes + 1)) {
        return std::nullopt;
    }
    std::array<unsigned char, kBytes + 1> bytes{};
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        char* end = nullptr;
        const std::string pair = text.substr(2 * i, 2);
        const unsigned long value = std::strtoul(pair.c_str(), &end, 16);
        if (end != pair.c_str() + 2) {
            return std::nullopt;
        }
        bytes[i] = static_cast<unsigned char>(value);
    }
    unsigned sum = 0;
    for (std::size_t i = 0; i < kBytes; ++i) {
        sum += bytes[i];
    }
    if ((sum & 0xFF) != bytes[kBytes]) {
        return std::nullopt;
    }
    LayoutRect rect;
    std::memcpy(&rect, bytes.data(), kBytes);
    return rect;
}

}  // namespace

std::filesystem::path LayoutFilePath() {
    return paths::DataDir() / "mszenpos.dat";
}

std::optional<LayoutRect> ReadLayoutRect(int templateId, int controlId) {
    std::istringstream lines(ReadFile());
    const std::string section = Section(templateId);
    const std::string key = Key(controlId);
    bool inSection = false;
    for (std::string line; std::getline(lines, line);) {
        const std::string trimmed = Trim(line);
        if (trimmed.starts_with('[')) {
            const auto close = trimmed.find(']');
            inSection =
                close != std::string::npos && SameName(trimmed.substr(1, close - 1), section);
            continue;
        }
        const auto equals = trimmed.find('=');
        if (inSection && equals != std::string::npos &&
            SameName(Trim(trimmed.substr(0, equals)), key)) {
            return Decode(Trim(trimmed.substr(equals + 1)));
        }
    }
    return std::nullopt;
}

bool WriteLayoutRect(int templateId, int controlId, const LayoutRect& rect) {
    std::istringstream lines(ReadFile());
    const std::string section = Section(templateId);
    const std::string entry = Key(controlId) + "=" + Encode(rect);
    std::vector<std::string> out;
    bool inSection = false;
    bool written = false;
    for (std::string line; std::getline(lines, line);) {
        const std::string trimmed = Trim(line);
        if (trimmed.starts_with('[')) {
            if (inSection && !written) {
                out.push_back(entry);
                written = true;
            }
            const auto close = trimmed.find(']');
            inSection =
                close != std::string::npos && SameName(trimmed.substr(1, close - 1), section);
        } else if (inSection && !written) {
            const auto equals = trimmed.find('=');
            if (equals != std::string::npos &&
                SameName(Trim(trimmed.substr(0, equals)), Key(controlId))) {
                out.push_back(entry);
                written = true;
                continue;
            }
        }
        out.push_back(Trim(line));
    }
    if (!written) {
        if (!inSection) {
            out.push_back("[" + section + "]");
        }
        out.push_back(entry);
    }
    std::string text;
    for (const std::string& line : out) {
        text += line + "\r\n";
    }
    return ReplaceFile(LayoutFilePath(), std::as_bytes(std::span(text.data(), text.size())));
}

bool LayoutRecordMode() {
    const char* value = std::getenv("ZEN_LAYOUT_RECORD");
    return value != nullptr && std::strcmp(value, "1") == 0;
}

void ShareLayoutFile() {
    UniqueFd fd = OpenSharedFile(LayoutFilePath(), O_RDONLY);
    struct stat status {};
    if (fd && ::fstat(fd.get(), &status) == 0 && status.st_uid == ::geteuid()) {
        ::fchmod(fd.get(), 0666);
    }
}

}  // namespace zen::panel
