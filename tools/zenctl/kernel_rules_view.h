#pragma once

#include <string>

#include "tools/zenctl/json.h"

namespace zen::ctl {

// The kernel's Internet rules as the service last set them, per controlled account: the
// status text's lines and its JSON member.
struct KernelRulesView {
    std::string text;
    Json json;
};

KernelRulesView ViewKernelRules();

}  // namespace zen::ctl
