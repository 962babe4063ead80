// StoreTrace.h: a random run of store operations, recorded as text, so that
// the same run on two settings engines can be compared byte for byte.
#pragma once

#include <random>
#include <string>

// Up to MaxPieces pieces of what a user may type: letters, blanks, quotes,
// separators, code page 932 text with 0x5C and 0x5D trail bytes, the
// ideographic space, '=' and ';'.
std::string randomText(std::mt19937& Rng, unsigned MaxPieces);

// Runs Steps random inserts, deletes, saves and loads (seeded by Seed) against
// the settings file IniPath and returns what each save wrote and each load read.
std::string RunStoreTrace(unsigned Seed, int Steps, const std::string& IniPath);
