#include "platform/temp_files.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ambergale {
namespace {

TEST(TempFiles, SlotsRunOutAndLongNamesAreNotTracked) {
  std::vector<int> slots;
  for (int i = 0; i < kTempFileSlots; ++i) {
    slots.push_back(track_temp_file(-1, ("file" + std::to_string(i)).c_str()));
    EXPECT_GE(slots.back(), 0);
  }
  EXPECT_EQ(track_temp_file(-1, "one too many"), -1);
  untrack_temp_file(slots.back());
  EXPECT_EQ(track_temp_file(-1, "fits again"), slots.back());
  for (const int slot : slots) untrack_temp_file(slot);
  EXPECT_EQ(track_temp_file(-1, std::string(kTempNameSize, 'n').c_str()), -1);
  const int fits = track_temp_file(-1, std::string(kTempNameSize - 1, 'n').c_str());
  EXPECT_GE(fits, 0);
  untrack_temp_file(fits);
}

}  // namespace
}  // namespace ambergale
