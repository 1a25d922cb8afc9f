#pragma once
// The check before the link starts that a Velora new enough for the channel (8.3.0)
// is available, with the questions it asks through the plug-in's message boxes.
//
//   running Velora      installed Velora     question                         result
//   8.3.0 or newer      (not read)           none                             1
//   none or older       none or older        newer version required; Yes      0
//                                            opens the home page
//   none                8.3.0 or newer       start it now?; Yes launches it   1
//   older               8.3.0 or newer       close it and start the newer one 1
//
// Main thread; nothing is cached between calls.

class PluginUi;

namespace vantro::discovery {

// 1: go on with the start; 0: abort it.
int CheckVelora(PluginUi& ui);

}  // namespace vantro::discovery
