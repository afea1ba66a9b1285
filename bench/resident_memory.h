#pragma once

#include <cstdlib>
#include <fstream>
#include <string>

// The process's resident memory now, MiB (Linux).
inline double ResidentMiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::atof(line.c_str() + 6) / 1024;
  return 0;
}
