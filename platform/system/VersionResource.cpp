#include "platform/system/VersionResource.h"

#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/system/CodePage.h"

namespace platform {

namespace {

// Version information is a few hundred bytes; anything larger is not ours.
constexpr uint64_t kMaxSectionSize = 64 * 1024;
constexpr std::string_view kMagic = "VS_VERSION_INFO";

class File {
 public:
  explicit File(const std::u16string& path)
      : fd_(::open(WideToUtf8(path).c_str(), O_RDONLY | O_CLOEXEC)) {}
  ~File() {
    if (fd_ >= 0) ::close(fd_);
  }
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  bool Ok() const { return fd_ >= 0; }
  uint64_t Size() const {
    struct stat st;
    return ::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
  }
  // Reads exactly n bytes at an offset; false on a short read.
  bool ReadAt(uint64_t offset, void* out, uint64_t n) const {
    auto* p = static_cast<char*>(out);
    while (n > 0) {
      ssize_t got = ::pread(fd_, p, n, static_cast<off_t>(offset));
      if (got <= 0) return false;
      p += got;
      offset += static_cast<uint64_t>(got);
      n -= static_cast<uint64_t>(got);
    }
    return true;
  }

 private:
  int fd_;
};

struct Span {
  uint64_t offset;
  uint64_t size;
};

bool Within(uint64_t offset, uint64_t size, uint64_t fileSize) {
  return offset <= fileSize && size <= fileSize - offset;
}

// Finds a section by name in one ELF class. Every offset and count comes from the file and is
// checked against the file's size before it is used.
template <typename Ehdr, typename Shdr>
std::optional<Span> FindSection(const File& f, uint64_t fileSize, std::string_view wanted) {
  Ehdr eh;
  if (!f.ReadAt(0, &eh, sizeof eh)) return std::nullopt;
  if (eh.e_shoff == 0 || eh.e_shnum == 0 || eh.e_shentsize < sizeof(Shdr) ||
      eh.e_shstrndx == SHN_UNDEF || eh.e_shstrndx >= eh.e_shnum)
    return std::nullopt;
  const uint64_t tableSize = uint64_t{eh.e_shnum} * eh.e_shentsize;
  if (!Within(eh.e_shoff, tableSize, fileSize)) return std::nullopt;

  auto header = [&](uint64_t index, Shdr* out) {
    return f.ReadAt(eh.e_shoff + index * eh.e_shentsize, out, sizeof *out);
  };
  Shdr names;
  if (!header(eh.e_shstrndx, &names) || names.sh_type != SHT_STRTAB ||
      !Within(names.sh_offset, names.sh_size, fileSize) || names.sh_size > kMaxSectionSize)
    return std::nullopt;
  std::vector<char> strtab(names.sh_size);
  if (!f.ReadAt(names.sh_offset, strtab.data(), strtab.size())) return std::nullopt;

  for (uint64_t i = 1; i < eh.e_shnum; ++i) {
    Shdr sh;
    if (!header(i, &sh)) return std::nullopt;
    if (sh.sh_name >= strtab.size()) continue;
    const char* name = strtab.data() + sh.sh_name;
    const size_t room = strtab.size() - sh.sh_name;
    if (::strnlen(name, room) == room || wanted != name) continue;
    if (sh.sh_type == SHT_NOBITS || !Within(sh.sh_offset, sh.sh_size, fileSize))
      return std::nullopt;
    return Span{sh.sh_offset, sh.sh_size};
  }
  return std::nullopt;
}

std::optional<Span> VersionSection(const File& f) {
  if (!f.Ok()) return std::nullopt;
  const uint64_t fileSize = f.Size();
  unsigned char ident[EI_NIDENT];
  if (fileSize < sizeof ident || !f.ReadAt(0, ident, sizeof ident)) return std::nullopt;
  if (std::memcmp(ident, ELFMAG, SELFMAG) != 0) return std::nullopt;
  // The headers are read as this machine lays them out.
  const unsigned char ownOrder =
      std::endian::native == std::endian::little ? ELFDATA2LSB : ELFDATA2MSB;
  if (ident[EI_DATA] != ownOrder) return std::nullopt;
  std::optional<Span> s;
  if (ident[EI_CLASS] == ELFCLASS64)
    s = FindSection<Elf64_Ehdr, Elf64_Shdr>(f, fileSize, kVersionSection);
  else if (ident[EI_CLASS] == ELFCLASS32)
    s = FindSection<Elf32_Ehdr, Elf32_Shdr>(f, fileSize, kVersionSection);
  if (!s || s->size == 0 || s->size >= kMaxSectionSize) return std::nullopt;
  return s;
}

}  // namespace

uint32_t GetFileVersionInfoSize(const std::u16string& path) {
  File f(path);
  auto s = VersionSection(f);
  return s ? static_cast<uint32_t>(s->size + 1) : 0;
}

bool GetFileVersionInfo(const std::u16string& path, uint32_t size, void* data) {
  if (!data) return false;
  File f(path);
  auto s = VersionSection(f);
  // The file may have changed since its size was asked for.
  if (!s || s->size + 1 != size) return false;
  auto* bytes = static_cast<char*>(data);
  if (!f.ReadAt(s->offset, bytes, s->size)) return false;
  bytes[s->size] = '\0';
  return true;
}

bool VerQueryValue(const void* block, const std::u16string& subBlock, std::u16string* value) {
  if (!block || !value) return false;
  std::string_view text(static_cast<const char*>(block));
  size_t pos = text.find('\n');
  std::string_view first = text.substr(0, pos);
  if (!first.empty() && first.back() == '\r') first.remove_suffix(1);
  if (first != kMagic) return false;
  const std::string key = WideToUtf8(subBlock);
  while (pos != std::string_view::npos && pos + 1 < text.size()) {
    size_t start = pos + 1;
    pos = text.find('\n', start);
    std::string_view line = text.substr(start, pos == std::string_view::npos ? pos : pos - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    size_t eq = line.find('=');
    if (eq == std::string_view::npos || line.substr(0, eq) != key) continue;
    *value = Utf8ToWide(std::string(line.substr(eq + 1)));
    return true;
  }
  return false;
}

}  // namespace platform
