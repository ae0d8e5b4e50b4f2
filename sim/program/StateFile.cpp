#include "sim/program/StateFile.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

namespace sim {

bool LoadState(const std::string& path, RadioConfig* config, std::string* error) {
  std::ifstream in(path);
  if (!in) return true;
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (line.empty() || line[0] == '#') continue;
    size_t eq = line.find('=');
    std::string name = line.substr(0, eq),
                value = eq == std::string::npos ? "" : line.substr(eq + 1);
    char* end = nullptr;
    unsigned long v = std::strtoul(value.c_str(), &end, name == "baud" ? 10 : 16);
    if (eq == std::string::npos || value.empty() || *end != '\0') {
      *error = path + ":" + std::to_string(number) + ": expected name=value";
      return false;
    }
    if (name == "baud")
      config->baud = static_cast<uint32_t>(v);
    else
      config->registers[name] = static_cast<uint32_t>(v);
  }
  return true;
}

bool SaveState(const std::string& path, const RadioModem& radio, std::string* error) {
  std::string text =
      "# qelm-radio-sim stored state\nbaud=" + std::to_string(radio.StoredBaud()) + "\n";
  for (const auto& [name, value] : radio.StoredRegisters()) {
    char hex[16];
    snprintf(hex, sizeof hex, "%02X", static_cast<unsigned>(value));
    text += name + "=" + hex + "\n";
  }
  std::string temp = path + ".tmp." + std::to_string(getpid());
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  bool ok = fd >= 0;
  if (ok) ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  if (ok) ok = ::fsync(fd) == 0;
  int savedErrno = errno;
  if (fd >= 0) ::close(fd);
  if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
    ok = false;
    savedErrno = errno;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    *error = "cannot write " + path + ": " + ::strerror(savedErrno);
  }
  return ok;
}

}  // namespace sim
