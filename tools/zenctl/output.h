#pragma once

#include <functional>
#include <iosfwd>
#include <string>

#include "tools/zenctl/json.h"

namespace zen::ctl {

// Where a command's result goes: the JSON text of its value with --json, otherwise the
// command's own text form, or a plain "key: value" rendering of the value.
class Output {
public:
    Output(std::ostream& out, bool json) : out_(out), json_(json) {}

    bool json() const { return json_; }
    void Emit(const Json& value, const std::function<void(std::ostream&)>& text = {});
    // A line for people only (nothing with --json).
    void Say(const std::string& line);

private:
    std::ostream& out_;
    bool json_;
};

// The plain rendering: members as "key: value", nested values indented below their key,
// arrays of plain values on one line.
void RenderText(std::ostream& out, const Json& value, int indent = 0);

}  // namespace zen::ctl
