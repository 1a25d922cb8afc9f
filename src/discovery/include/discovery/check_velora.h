#pragma once
// The check before the link starts that a Velora new enough for the channel (8.3.0)
// is available, with the questions it asks the user.
//
//   running Velora      installed Velora     question                         result
//   8.3.0 or newer      (not read)           none                             1
//   none or older       none or older        newer version required; Yes      0
//                                            opens the home page
//   none                8.3.0 or newer       start it now?; Yes launches it   1
//   older               8.3.0 or newer       close it and start the newer one 1
//
// Main thread; nothing is cached between calls.

#include <string>

namespace vantro::discovery {

// How the check reaches the user. The plug-in answers through its message boxes;
// keeping the questions abstract keeps the check free of the user interface and the
// host it needs.
class VeloraQuestions {
public:
    virtual ~VeloraQuestions() = default;
    // notRunning: "start Velora now?", true for Yes. Otherwise tells the user to close
    // the running older Velora; the answer is not used.
    virtual bool AskStartVelora(bool notRunning) = 0;
    // "Newer Velora version required": true for Yes.
    virtual bool AskNewerVelora() = 0;
    // The address opened when the user wants a newer Velora.
    virtual std::u16string HomePageUrl() = 0;
};

// 1: go on with the start; 0: abort it.
int CheckVelora(VeloraQuestions& questions);

}  // namespace vantro::discovery
