// store_trace_main.cpp: runs one store trace and writes it to a file:
//   store_trace_portable SEED STEPS INI-PATH OUT-PATH
#include <cstdlib>
#include <fstream>

#include "StoreTrace.h"

int main(int argc, char** argv) {
  if (argc != 5) return 2;
  const std::string trace = RunStoreTrace(static_cast<unsigned>(std::strtoul(argv[1], nullptr, 10)),
                                          std::atoi(argv[2]), argv[3]);
  std::ofstream out(argv[4], std::ios::binary | std::ios::trunc);
  out << trace;
  return out ? 0 : 1;
}
