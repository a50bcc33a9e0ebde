// measure DIR PROGRAM [ARGS...]
// Runs PROGRAM in DIR with its standard output thrown away and prints its
// wall time and CPU time (user + system) in milliseconds and its peak
// resident memory in KiB, and exits with its exit status. A small static
// binary: the child starts from this process's few pages, so the peak it
// reports is the program's own.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>

namespace {

double now_ms() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: measure DIR PROGRAM [ARGS...]\n");
    return 2;
  }
  const double start = now_ms();
  const pid_t pid = fork();
  if (pid == 0) {
    const int null = open("/dev/null", O_WRONLY);
    if (chdir(argv[1]) != 0 || null < 0 || dup2(null, STDOUT_FILENO) < 0) _exit(126);
    execv(argv[2], argv + 2);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (pid < 0 || wait4(pid, &status, 0, &usage) != pid) return 1;
  const double wall = now_ms() - start;
  const double cpu = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                     (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
  std::printf("%.3f %.3f %ld\n", wall, cpu, usage.ru_maxrss);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
