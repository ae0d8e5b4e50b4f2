#pragma once
// The program's version resource, read from a program file the way the controller's version
// calls read it: first the size of the version information, then the information itself into
// a buffer of that size, then single values looked up in that buffer by their path, such as
// "\StringFileInfo\040904b0\FileVersion".
//
// The build carries the information inside the executable as the ELF section ".qelm_version"
// (kept only in the file, never loaded into memory), so it is read from the file on disk and
// can be checked with readelf. Its content is text: the first line "VS_VERSION_INFO", then one
// "path=value" line per value, in UTF-8.
//
// On Windows the information is the program's VERSIONINFO resource, read with the system's own
// calls; the answers are the same.
//
// Nothing here throws. A file that cannot be read, is no ELF file, is damaged or carries no
// version section gives the size 0; a failed read answers false; a path that is not in the
// information answers false and leaves the value untouched.

#include <cstdint>
#include <string>

namespace platform {

// The ELF section that holds the version information.
inline constexpr char kVersionSection[] = ".qelm_version";

// Bytes a buffer needs for the file's version information (the section and a terminating
// zero), or 0 when the file has none.
uint32_t GetFileVersionInfoSize(const std::u16string& path);

// Reads the version information into data, which holds size bytes as GetFileVersionInfoSize
// gave them. False when the file cannot be read or its information no longer has that size.
bool GetFileVersionInfo(const std::u16string& path, uint32_t size, void* data);

// Looks up one value in information read by GetFileVersionInfo. The root path "\" answers the
// fixed file version ("1.0.0.0"). False when the block is not version information or holds no
// such path.
bool VerQueryValue(const void* block, const std::u16string& subBlock, std::u16string* value);

}  // namespace platform
