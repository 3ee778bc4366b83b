#include "startup/data_paths.h"

#include <cstring>

namespace pellix {
namespace {

size_t BoundedLength(const char* text) {  // PathBufferSize when no terminator comes first
  const void* nul = std::memchr(text, '\0', PathBufferSize);
  return nul ? static_cast<size_t>(static_cast<const char*>(nul) - text) : PathBufferSize;
}

}  // namespace

char dataFolder[PathBufferSize] = {};
char settingsPath[PathBufferSize] = {};

bool SetDataFolder(const char* executablePath) {
  const size_t length = BoundedLength(executablePath);
  dataFolder[0] = '\0';
  if (length >= PathBufferSize) return false;
  std::memcpy(dataFolder, executablePath, length + 1);
  if (char* lastBackslash = std::strrchr(dataFolder, '\\')) *lastBackslash = '\0';
  return true;
}

bool BuildDataPath(char (&out)[PathBufferSize], const char* fileName) {
  const size_t folderLength = BoundedLength(dataFolder);
  const size_t nameLength = std::strlen(fileName);
  const size_t room = PathBufferSize - folderLength;  // terminator included
  out[0] = '\0';
  if (folderLength >= PathBufferSize || nameLength >= room) return false;
  std::memcpy(out, dataFolder, folderLength);
  std::memcpy(out + folderLength, fileName, nameLength + 1);
  return true;
}

}  // namespace pellix
