#pragma once

// Whole exchanges through the real main window, against the peers.
#include "support/peers.h"
#include "support/window_fixture.h"

namespace tallowick::test {

// Plays steps separated by "; " on the window: "click NAME", or "NAME=VALUE"
// typed into a box (for a check box or option button, 1 checks it).
void play(WindowFixture &f, const QString &script);

} // namespace tallowick::test
