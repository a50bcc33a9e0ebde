#include "app/signals.hpp"

#include <unistd.h>

#include "platform/temp_files.hpp"

namespace ambergale {

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

void on_stop(int signal_number) {
  remove_tracked_temp_files();
  std::signal(signal_number, SIG_DFL);
  std::raise(signal_number);
}

void on_bus_error(int) {
  remove_tracked_temp_files();
  constexpr char kMessage[] = "ambergale-dump: the image file changed while it was read\n";
  [[maybe_unused]] const ssize_t ignored = ::write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
  _exit(1);
}

sigset_t stop_signals() {
  sigset_t set;
  sigemptyset(&set);
  for (int s : kStopSignals) sigaddset(&set, s);
  return set;
}

}  // namespace

void install_signal_handlers() {
  struct sigaction action {};
  sigemptyset(&action.sa_mask);
  action.sa_handler = on_stop;
  for (int s : kStopSignals) sigaction(s, &action, nullptr);
  action.sa_handler = on_bus_error;
  sigaction(SIGBUS, &action, nullptr);
  std::signal(SIGXFSZ, SIG_IGN);
}

SignalHold::SignalHold() {
  const sigset_t set = stop_signals();
  sigprocmask(SIG_BLOCK, &set, &previous_);
}

SignalHold::~SignalHold() { sigprocmask(SIG_SETMASK, &previous_, nullptr); }

}  // namespace ambergale
