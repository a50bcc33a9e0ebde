#include "platform/signals.hpp"

#include <unistd.h>

#include <algorithm>

#include "platform/temp_files.hpp"

namespace ambergale {

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

// The line SIGBUS writes, made before any image is mapped: a handler may
// only copy bytes that already exist.
char bus_message[512] = "the image file changed while it was read\n";
std::size_t bus_message_size = sizeof "the image file changed while it was read\n" - 1;

void on_stop(int signal_number) {
  remove_tracked_temp_files();
  std::signal(signal_number, SIG_DFL);
  std::raise(signal_number);
}

void on_bus_error(int) {
  remove_tracked_temp_files();
  [[maybe_unused]] const ssize_t ignored = ::write(STDERR_FILENO, bus_message, bus_message_size);
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
  for (int s : kStopSignals) {
    struct sigaction old {};
    if (sigaction(s, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    sigaction(s, &action, nullptr);
  }
  action.sa_handler = on_bus_error;
  sigaction(SIGBUS, &action, nullptr);
  std::signal(SIGXFSZ, SIG_IGN);
}

void name_mapped_image(const std::string& program, const std::string& image) {
  const std::string line = program + ": " + image + ": the image file changed while it was read\n";
  // A name too long for the buffer is cut; the line still ends.
  bus_message_size = std::min(line.size(), sizeof bus_message);
  std::copy_n(line.begin(), bus_message_size, bus_message);
  bus_message[bus_message_size - 1] = '\n';
}

SignalHold::SignalHold() {
  const sigset_t set = stop_signals();
  sigprocmask(SIG_BLOCK, &set, &previous_);
}

SignalHold::~SignalHold() { sigprocmask(SIG_SETMASK, &previous_, nullptr); }

}  // namespace ambergale
