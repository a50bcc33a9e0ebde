// What the process does when it is told to stop: temporary files are removed
// before it goes.
#pragma once

#include <csignal>
#include <string>

namespace ambergale {

// Installs the handlers: SIGINT, SIGTERM, SIGHUP and SIGPIPE remove the
// temporary files and end the process by the same signal, except that one
// ignored when the process started (nohup, a background job) stays ignored;
// SIGBUS (the mapped image shrank under the run) removes them, says so
// naming the image (see name_mapped_image) and exits with status 1. SIGXFSZ
// is ignored, so a file-size limit shows as a failed write.
void install_signal_handlers();

// The image SIGBUS is about, as messages name it; `program` starts the line.
void name_mapped_image(const std::string& program, const std::string& image);

// Holds the stop signals back for its lifetime, for steps that must not be
// cut in half.
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
