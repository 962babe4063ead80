// ExeDirPosix.cpp: GetExeDir where the system reports the program's path in
// /proc, and the process's environment.
#include <climits>
#include <cstdlib>
#include <unistd.h>

#include "Common.h"

std::string GetExeDir() {
  char buf[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return "./";
  std::string path(buf, static_cast<size_t>(n));
  return path.substr(0, path.rfind('/') + 1);
}

std::string environmentVariable(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}
