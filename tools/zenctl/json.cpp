#include "tools/zenctl/json.h"

#include <cstdio>

#include "platform/text.h"

namespace zen::ctl {

Json::Json(bool value) : type_(Type::Bool), bool_(value) {}
Json::Json(int value) : type_(Type::Number), number_(value) {}
Json::Json(uint32_t value) : type_(Type::Number), number_(value) {}
Json::Json(int64_t value) : type_(Type::Number), number_(value) {}
// Texts from the command line may not be valid UTF-8: the round trip replaces what is not.
Json::Json(std::string_view utf8) : type_(Type::String), string_(Utf16ToUtf8(Utf8ToUtf16(utf8))) {}
Json::Json(const char* utf8) : Json(std::string_view(utf8)) {}
Json::Json(const std::string& utf8) : Json(std::string_view(utf8)) {}
Json::Json(std::u16string_view text) : type_(Type::String), string_(Utf16ToUtf8(text)) {}
Json::Json(const std::u16string& text) : Json(std::u16string_view(text)) {}

Json Json::Array() {
    Json value;
    value.type_ = Type::Array;
    return value;
}

Json Json::Object() {
    Json value;
    value.type_ = Type::Object;
    return value;
}

Json& Json::Set(std::string_view key, Json value) {
    keys_.emplace_back(key);
    items_.push_back(std::move(value));
    return *this;
}

Json& Json::Push(Json value) {
    items_.push_back(std::move(value));
    return *this;
}

std::string JsonQuote(std::string_view utf8) {
    std::string out = "\"";
    for (const char c : utf8) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(c));
                    out += escaped;
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

std::string Json::Dump() const {
    std::string out;
    DumpTo(out, 0);
    return out;
}

void Json::DumpTo(std::string& out, int depth) const {
    const auto newline = [&](int level) { out.append("\n").append(2 * level, ' '); };
    switch (type_) {
        case Type::Null:
            out += "null";
            return;
        case Type::Bool:
            out += bool_ ? "true" : "false";
            return;
        case Type::Number:
            out += std::to_string(number_);
            return;
        case Type::String:
            out += JsonQuote(string_);
            return;
        case Type::Array:
        case Type::Object:
            break;
    }
    const bool object = type_ == Type::Object;
    out += object ? '{' : '[';
    for (std::size_t i = 0; i < items_.size(); ++i) {
        out += i == 0 ? "" : ",";
        newline(depth + 1);
        if (object) {
            out.append(JsonQuote(keys_[i])).append(": ");
        }
        items_[i].DumpTo(out, depth + 1);
    }
    if (!items_.empty()) {
        newline(depth);
    }
    out += object ? '}' : ']';
}

}  // namespace zen::ctl
