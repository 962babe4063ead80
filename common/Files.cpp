// Files.cpp: the portable half of Files.h: a file's identity as text.
#include "Files.h"

std::string identityText(const FileId& id) {
  return std::to_string(id.volume) + ":" + std::to_string(id.index);
}

std::string fileIdentity(const std::string& path) {
  const std::optional<FileId> id = fileId(path);
  return id ? identityText(*id) : "";
}
