#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zen::ctl {

// A small JSON value for the machine-readable output: objects keep their keys in the order
// they were set, so the output reads like the record it shows.
class Json {
public:
    enum class Type { Null, Bool, Number, String, Array, Object };

    Json() = default;
    Json(bool value);
    Json(int value);
    Json(uint32_t value);
    Json(int64_t value);
    Json(std::string_view utf8);
    Json(const char* utf8);
    Json(const std::string& utf8);
    Json(std::u16string_view text);
    Json(const std::u16string& text);

    static Json Array();
    static Json Object();

    // Object: appends a member. Array: appends an element. Both return *this.
    Json& Set(std::string_view key, Json value);
    Json& Push(Json value);

    Type type() const { return type_; }
    bool boolean() const { return bool_; }
    int64_t number() const { return number_; }
    const std::string& string() const { return string_; }
    const std::vector<Json>& items() const { return items_; }
    const std::vector<std::string>& keys() const { return keys_; }

    // The JSON text, indented by two blanks per level, without a final line end.
    std::string Dump() const;

private:
    void DumpTo(std::string& out, int depth) const;

    Type type_ = Type::Null;
    bool bool_ = false;
    int64_t number_ = 0;
    std::string string_;
    std::vector<Json> items_;        // array elements, or object member values
    std::vector<std::string> keys_;  // object member names
};

// A JSON string literal with its quotes: '"' and '\' escaped, control characters as \n, \t
// ... or \u00XX; anything else passes through as UTF-8.
std::string JsonQuote(std::string_view utf8);

}  // namespace zen::ctl
