#include "tools/zenctl/output.h"

#include <algorithm>
#include <ostream>

namespace zen::ctl {
namespace {

bool IsPlain(const Json& value) {
    return value.type() != Json::Type::Array && value.type() != Json::Type::Object;
}

std::string PlainText(const Json& value) {
    switch (value.type()) {
        case Json::Type::Null:
            return "-";
        case Json::Type::Bool:
            return value.boolean() ? "yes" : "no";
        case Json::Type::Number:
            return std::to_string(value.number());
        default:
            return value.string();
    }
}

std::string InlineArray(const Json& array) {
    std::string line;
    for (const Json& item : array.items()) {
        line.append(line.empty() ? "" : ", ").append(PlainText(item));
    }
    return line;
}

}  // namespace

void RenderText(std::ostream& out, const Json& value, int indent) {
    const std::string pad(static_cast<std::size_t>(indent), ' ');
    if (IsPlain(value)) {
        out << pad << PlainText(value) << '\n';
        return;
    }
    const auto& items = value.items();
    if (value.type() == Json::Type::Array) {
        if (std::all_of(items.begin(), items.end(), IsPlain)) {
            out << pad << InlineArray(value) << '\n';
            return;
        }
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (i != 0) {
                out << '\n';
            }
            RenderText(out, items[i], indent);
        }
        return;
    }
    for (std::size_t i = 0; i < items.size(); ++i) {
        const Json& member = items[i];
        out << pad << value.keys()[i] << ':';
        if (IsPlain(member)) {
            out << ' ' << PlainText(member) << '\n';
        } else if (member.type() == Json::Type::Array &&
                   std::all_of(member.items().begin(), member.items().end(), IsPlain)) {
            out << ' ' << InlineArray(member) << '\n';
        } else {
            out << '\n';
            RenderText(out, member, indent + 2);
        }
    }
}

void Output::Emit(const Json& value, const std::function<void(std::ostream&)>& text) {
    if (json_) {
        out_ << value.Dump() << '\n';
    } else if (text) {
        text(out_);
    } else {
        RenderText(out_, value);
    }
}

void Output::Say(const std::string& line) {
    if (!json_) {
        out_ << line << '\n';
    }
}

}  // namespace zen::ctl
