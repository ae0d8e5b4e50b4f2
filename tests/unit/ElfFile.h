#pragma once
// Writes small ELF files for the version resource tests: an ELF header, the named sections
// with their bytes, the section name table and the section header table, as a linker lays
// them out. Fields can be spoiled afterwards to make damaged files.

#include <elf.h>

#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace testing_support {

template <typename Ehdr = Elf64_Ehdr, typename Shdr = Elf64_Shdr>
class ElfFile {
 public:
  void AddSection(const std::string& name, const std::string& bytes) {
    sections_.emplace_back(name, bytes);
  }

  // The file's bytes. Sections follow the ELF header; the name table comes last, then the
  // section header table.
  std::string Bytes() const {
    std::string names(1, '\0');
    std::vector<Shdr> headers(1);  // the null section
    std::string body;
    const size_t start = sizeof(Ehdr);
    for (const auto& [name, bytes] : sections_) {
      Shdr sh{};
      sh.sh_name = static_cast<decltype(sh.sh_name)>(names.size());
      sh.sh_type = SHT_PROGBITS;
      sh.sh_offset = start + body.size();
      sh.sh_size = bytes.size();
      names += name + '\0';
      body += bytes;
      headers.push_back(sh);
    }
    Shdr strtab{};
    strtab.sh_name = static_cast<decltype(strtab.sh_name)>(names.size());
    names += std::string(".shstrtab") + '\0';
    strtab.sh_type = SHT_STRTAB;
    strtab.sh_offset = start + body.size();
    strtab.sh_size = names.size();
    body += names;
    headers.push_back(strtab);
    while (body.size() % 8) body += '\0';

    Ehdr eh{};
    std::memcpy(eh.e_ident, ELFMAG, SELFMAG);
    eh.e_ident[EI_CLASS] = sizeof(Ehdr) == sizeof(Elf64_Ehdr) ? ELFCLASS64 : ELFCLASS32;
    eh.e_ident[EI_DATA] = ELFDATA2LSB;
    eh.e_ident[EI_VERSION] = EV_CURRENT;
    eh.e_type = ET_EXEC;
    eh.e_version = EV_CURRENT;
    eh.e_ehsize = sizeof(Ehdr);
    eh.e_shoff = start + body.size();
    eh.e_shentsize = sizeof(Shdr);
    eh.e_shnum = static_cast<decltype(eh.e_shnum)>(headers.size());
    eh.e_shstrndx = static_cast<decltype(eh.e_shstrndx)>(headers.size() - 1);
    if (spoil_) spoil_(eh, headers);

    std::string out(reinterpret_cast<const char*>(&eh), sizeof eh);
    out += body;
    for (const Shdr& sh : headers) out.append(reinterpret_cast<const char*>(&sh), sizeof sh);
    return out;
  }

  // Changes the headers before they are written (index 1 is the first added section).
  template <typename F>
  void Spoil(F f) {
    spoil_ = f;
  }

 private:
  std::vector<std::pair<std::string, std::string>> sections_;
  std::function<void(Ehdr&, std::vector<Shdr>&)> spoil_;
};

// Version information as the build writes it, from "path=value" lines.
inline std::string VersionBlock(const std::vector<std::string>& lines) {
  std::string out = "VS_VERSION_INFO\n";
  for (const auto& l : lines) out += l + "\n";
  return out;
}

}  // namespace testing_support
