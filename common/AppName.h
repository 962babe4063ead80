// AppName.h: the program's name, said once: the single-instance mutex, the
// window's title, the tray icon's tip and the settings file's name.
#pragma once

inline constexpr char kAppName[] = "Vostrelk";
inline constexpr wchar_t kAppNameW[] = L"Vostrelk";
