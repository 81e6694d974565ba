// Reads arbitrary bytes as a settings file. What a read accepts must come out of an export
// and a second read unchanged: the written document is a fixed point.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "common/db/rules_model.h"
#include "common/settings/settings_document.h"

namespace {

// The document an export would write for what `bytes` holds; false when it is refused.
bool Rewritten(std::string_view bytes, std::string& document) {
    zen::ImportedSettings settings;
    if (zen::ReadSettingsDocument(bytes, settings) != zen::SettingsReadStatus::Done) {
        return false;
    }
    zen::SettingsSnapshot snapshot;
    snapshot.options = zen::OptionsDefault();
    settings.ApplyOptions(snapshot.options);
    snapshot.users = std::move(settings.users);
    snapshot.customs = std::move(settings.customs);
    document = zen::WriteSettingsDocument(snapshot);
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string first;
    if (!Rewritten(std::string_view(reinterpret_cast<const char*>(data), size), first)) {
        return 0;
    }
    std::string second;
    if (!Rewritten(first, second) || second != first) {
        std::abort();
    }
    return 0;
}
