#pragma once

namespace zen {

// The removal's first step: asks on the terminal whether to export the settings and, if so,
// to which file (proposing ~/zentimo-settings.xml of the account that runs the removal), and
// writes it, owned by that account; a file that exists is replaced only after a yes. True
// when a file was written.
bool OfferSettingsExport();

}  // namespace zen
