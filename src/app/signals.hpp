// What the process does when it is told to stop: temporary files are removed
// before it goes.
#pragma once

#include <csignal>

namespace ambergale {

// Installs the handlers: SIGINT, SIGTERM, SIGHUP and SIGPIPE remove the
// temporary files and end the process by the same signal; SIGBUS (the mapped
// image shrank under the run) removes them and exits with status 1. SIGXFSZ
// is ignored, so a file-size limit shows as a failed write.
void install_signal_handlers();

// Holds those signals back for its lifetime, for steps that must not be cut
// in half.
class SignalHold {
 public:
  SignalHold();
  ~SignalHold();
  SignalHold(const SignalHold&) = delete;
  SignalHold& operator=(const SignalHold&) = delete;

 private:
  sigset_t previous_;
};

}  // namespace ambergale
