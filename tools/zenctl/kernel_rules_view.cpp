#include "tools/zenctl/kernel_rules_view.h"

#include "platform/accounts.h"
#include "platform/kernel_rules_state.h"

namespace zen::ctl {

KernelRulesView ViewKernelRules() {
    const std::optional<KernelRulesState> state = ReadKernelRulesState();
    if (!state) {
        return {"kernel rules: none (the service has not set them)\n",
                Json::Object().Set("available", Json()).Set("accounts", Json::Array())};
    }
    if (!state->available) {
        return {
            "kernel rules: unavailable (no nf_tables); the preloaded library is the only "
            "line\n",
            Json::Object().Set("available", false).Set("accounts", Json::Array())};
    }
    std::string text = "kernel rules:\n";
    Json accounts = Json::Array();
    for (const auto& [uid, forbidden] : state->forbidden) {
        const std::string name = LoginNameOf(uid).value_or(std::to_string(uid));
        text += "  " + name + ": internet: " +
                (forbidden ? "forbidden (kernel rule active)" : "allowed (no kernel rule)") + "\n";
        accounts.Push(Json::Object()
                          .Set("user", name)
                          .Set("uid", static_cast<int64_t>(uid))
                          .Set("internet", forbidden ? "forbidden" : "allowed")
                          .Set("kernelRule", forbidden));
    }
    return {text, Json::Object().Set("available", true).Set("accounts", std::move(accounts))};
}

}  // namespace zen::ctl
