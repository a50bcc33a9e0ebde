// The temporary files a run has open, kept where a signal handler can remove
// them: fixed slots, written before a file is created and cleared after it
// is renamed or removed.
#pragma once

namespace ambergale {

inline constexpr int kTempFileSlots = 8;
inline constexpr int kTempNameSize = 256;

// Records the file `name` in the folder open as `dir_fd`; returns its slot,
// or -1 when the name is too long or every slot is taken.
int track_temp_file(int dir_fd, const char* name);

// Forgets the file of `slot` (a -1 is ignored).
void untrack_temp_file(int slot);

// Removes every tracked file. Safe to call from a signal handler.
void remove_tracked_temp_files();

}  // namespace ambergale
