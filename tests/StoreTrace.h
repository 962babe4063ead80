// StoreTrace.h: a random run of store operations, recorded as text, so that
// the same run on two settings engines can be compared byte for byte.
#pragma once

#include <string>

// Runs Steps random inserts, deletes, saves and loads (seeded by Seed) against
// the settings file IniPath and returns what each save wrote and each load read.
std::string RunStoreTrace(unsigned Seed, int Steps, const std::string& IniPath);
