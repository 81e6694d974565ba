#pragma once

namespace zen {

// The installation's marks: the desktop entry etc/xdg/autostart/zencp.desktop, which starts
// the control panel in every graphical session, and etc/zentimo/zentimo.conf with
// "zeninst=1" and "zenver=2.01" among its other lines. Registering writes both, unregistering
// removes both. A failure shows string 138 and returns 0; success returns 1.
int RegisterAutostart(bool registering);

}  // namespace zen
