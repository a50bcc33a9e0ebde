#include "platform/temp_files.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstring>

namespace ambergale {

namespace {

struct Slot {
  volatile std::sig_atomic_t used = 0;
  int dir_fd = -1;
  char name[kTempNameSize] = {};
};
Slot slots[kTempFileSlots];

}  // namespace

int track_temp_file(int dir_fd, const char* name) {
  if (std::strlen(name) >= kTempNameSize) return -1;
  for (int i = 0; i < kTempFileSlots; ++i) {
    if (slots[i].used) continue;
    slots[i].dir_fd = dir_fd;
    std::strcpy(slots[i].name, name);
    std::atomic_signal_fence(std::memory_order_seq_cst);  // the name is complete before the slot is
    slots[i].used = 1;
    return i;
  }
  return -1;
}

void untrack_temp_file(int slot) {
  if (slot >= 0) slots[slot].used = 0;
}

void remove_tracked_temp_files() {
  for (Slot& slot : slots) {
    if (slot.used) ::unlinkat(slot.dir_fd, slot.name, 0);
  }
}

}  // namespace ambergale
