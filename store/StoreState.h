// StoreState.h: what the store's load (Store.cpp) and save (Save.cpp) share.
#pragma once

#include <vector>

#include "Logon.h"
#include "SettingsFile.h"

// The store as the load (or the last save) left it, and the file then.
extern Loaded loaded;
// The slots as they stand now.
std::vector<Logon> storeLogons();
// A value of file through ReadIniString, or nothing when the key is absent.
Value readIniValue(const std::string& file, const std::string& section, const std::string& key);
