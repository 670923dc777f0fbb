#pragma once

namespace kestrin {

// Whether the connection to the X server has broken (the server died or dropped the program), as
// far as the program can tell without running events. False elsewhere: Qt's Wayland client ends
// the process itself, from its own reader thread, once its compositor has gone. Cheap enough for
// every wait of a send; for the user-interface thread.
bool DisplayConnectionLost();

} // namespace kestrin
