// TnsNamesWin.cpp: where this system's client looks for its tnsnames.ora,
// from its environment and the registry of its Oracle home.
#include <windows.h>

#include "CodePage.h"
#include "Common.h"
#include "Paths.h"
#include "Raii.h"
#include "TnsNames.h"

namespace tns {

namespace {

// A text value of key (REG_SZ or REG_EXPAND_SZ, expanded); empty when unset.
std::wstring textValue(HKEY key, const wchar_t* name) {
  DWORD type = 0;
  DWORD bytes = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ) || bytes > 64 * 1024)
    return L"";
  std::wstring value(bytes / sizeof(wchar_t) + 1, L'\0');
  if (RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(value.data()),
                       &bytes) != ERROR_SUCCESS)
    return L"";
  value.resize(wcsnlen(value.c_str(), bytes / sizeof(wchar_t)));
  if (type == REG_EXPAND_SZ) {
    wchar_t expanded[MAX_PATH * 4];
    const DWORD n = ExpandEnvironmentStringsW(value.c_str(), expanded, MAX_PATH * 4);
    value = n > 0 && n <= MAX_PATH * 4 ? expanded : L"";
  }
  return value;
}

bool sameFolder(const std::wstring& a, const std::wstring& b) {
  const std::wstring x = folderKey(a);
  const std::wstring y = folderKey(b);
  return CompareStringOrdinal(x.c_str(), static_cast<int>(x.size()), y.c_str(),
                              static_cast<int>(y.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace

HomeKey homeKey(const std::string& home) {
  const std::wstring wanted = fromAnsi(home);
  for (const REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
    UniqueKey oracle;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\ORACLE", 0, KEY_READ | view, oracle.put()) !=
        ERROR_SUCCESS)
      continue;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
      DWORD length = 256;
      const LONG result =
          RegEnumKeyExW(oracle.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr);
      if (result == ERROR_NO_MORE_ITEMS) break;
      if (result != ERROR_SUCCESS || _wcsnicmp(name, L"KEY_", 4) != 0) continue;
      UniqueKey key;
      if (RegOpenKeyExW(oracle.get(), name, 0, KEY_READ | view, key.put()) != ERROR_SUCCESS)
        continue;
      if (sameFolder(textValue(key.get(), L"ORACLE_HOME"), wanted))
        return {toAnsi(textValue(key.get(), L"TNS_ADMIN")),
                toAnsi(textValue(key.get(), L"ORACLE_BASE_HOME"))};
    }
  }
  return {};
}

std::vector<std::string> clientFiles(const std::string& clientPath) {
  const std::string home = oracleHomeOf(clientPath);
  return candidateFiles(clientPath, environmentVariable("TNS_ADMIN"),
                        home.empty() ? HomeKey{} : homeKey(home));
}

}  // namespace tns
