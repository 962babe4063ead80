// FolderWatchPosix.cpp: FolderWatch where the program has no change notices
// of its own: the caller looks at the file now and then.
#include "FolderWatch.h"

FolderWatch::FolderWatch(const std::string&) {}

FolderWatch::~FolderWatch() = default;

bool FolderWatch::changed() {
  return false;
}
