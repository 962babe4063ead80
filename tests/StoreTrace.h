// StoreTrace.h: a random run of store operations, recorded as text, so that
// the same run on two settings engines can be compared byte for byte.
#pragma once

#include <random>
#include <string>

// Up to maxPieces pieces of what a user may type: letters, blanks, quotes,
// separators, code page 932 text with 0x5C and 0x5D trail bytes, the
// ideographic space, '=' and ';'.
std::string randomText(std::mt19937& rng, unsigned maxPieces);

// Runs steps random inserts, deletes, saves and loads (seeded by seed) against
// the settings file iniPath and returns what each save wrote and each load read.
std::string RunStoreTrace(unsigned seed, int steps, const std::string& iniPath);
