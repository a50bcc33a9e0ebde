// floor [--sync] IMAGE REFDIR
// The least a dump can cost, as a process: maps the image, touches every
// page of the banks a dump reads (C4, F8 to FB), and writes the dumps kept in
// REFDIR into the working folder under their names, each through a
// temporary file renamed into place. With --sync each file is flushed to
// disk before its rename, as the tool does. Linked statically, with only C
// and POSIX calls: nothing to load or construct at start-up.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace {

const char* const kDumps[] = {"wordlist.txt", "wordlist2.txt", "sublist.txt", "messcript.txt"};
constexpr long kBankSize = 0x10000;
constexpr int kBanks[] = {0x04, 0x38, 0x39, 0x3A, 0x3B};  // C4, F8, F9, FA, FB

const unsigned char* map_file(const char* path, long& size) {
  const int fd = open(path, O_RDONLY);
  struct stat info {};
  if (fd < 0 || fstat(fd, &info) != 0) return nullptr;
  size = info.st_size;
  void* at = size > 0 ? mmap(nullptr, static_cast<size_t>(size), PROT_READ, MAP_PRIVATE, fd, 0) : nullptr;
  close(fd);
  if (at == MAP_FAILED || at == nullptr) return nullptr;
  madvise(at, static_cast<size_t>(size), MADV_RANDOM);  // mapped as touched, as the tool maps the image
  return static_cast<const unsigned char*>(at);
}

}  // namespace

int main(int argc, char** argv) {
  const bool sync = argc > 1 && std::strcmp(argv[1], "--sync") == 0;
  if (argc != 3 + (sync ? 1 : 0)) {
    std::fprintf(stderr, "usage: floor [--sync] IMAGE REFDIR\n");
    return 2;
  }
  long image_size = 0;
  const unsigned char* image = map_file(argv[1 + sync], image_size);
  if (!image || image_size < 0x400000) return 1;
  unsigned sum = 0;
  for (int bank : kBanks) {
    for (long at = 0; at < kBankSize; at += 4096) sum += image[bank * kBankSize + at];
  }
  for (const char* name : kDumps) {
    char source[4096];
    char temp[256];
    std::snprintf(source, sizeof source, "%s/%s", argv[2 + sync], name);
    std::snprintf(temp, sizeof temp, ".%s.floor.tmp", name);
    long size = 0;
    const unsigned char* bytes = map_file(source, size);
    const int fd = open(temp, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0666);
    if (!bytes || fd < 0 || write(fd, bytes, static_cast<size_t>(size)) != size) return 1;
    if (sync && fsync(fd) != 0) return 1;
    if (close(fd) != 0 || rename(temp, name) != 0) return 1;
  }
  if (sync) {
    const int dir = open(".", O_RDONLY | O_DIRECTORY);
    fsync(dir);
    close(dir);
  }
  return sum == 0xFFFFFFFFu ? 3 : 0;  // keeps the touches
}
