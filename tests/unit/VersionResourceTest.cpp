// The version resource reader on ELF files written here: the three calls on good files of both
// ELF classes, and damaged files, which must read as "no version information" without reading
// outside the file.
#include <vector>

#include "ElfFile.h"
#include "TestSupport.h"
#include "platform/system/CodePage.h"
#include "platform/system/ModulePath.h"
#include "platform/system/VersionResource.h"

using namespace testing_support;
using platform::GetFileVersionInfo;
using platform::GetFileVersionInfoSize;
using platform::VerQueryValue;

namespace {

const std::string kBlock =
    VersionBlock({R"(\=1.2.3.4)", R"(\StringFileInfo\040904b0\FileVersion=1, 2, 3, 4)",
                  R"(\StringFileInfo\040904b0\Comments=a=b, ü)"});

class VersionResourceTest : public ::testing::Test {
 protected:
  template <typename Elf>
  std::u16string Write(const Elf& elf) {
    WriteFile(path, elf.Bytes());
    return platform::Utf8ToWide(path);
  }
  // The whole information of a file, or nothing.
  std::vector<char> Read(const std::u16string& file) {
    uint32_t size = GetFileVersionInfoSize(file);
    if (size == 0) return {};
    std::vector<char> info(size);
    if (!GetFileVersionInfo(file, size, info.data())) return {};
    return info;
  }
  std::u16string Query(const std::vector<char>& info, const std::u16string& key) {
    std::u16string value = u"<none>";
    VerQueryValue(info.data(), key, &value);
    return value;
  }

  TempFolder folder;
  std::string path = folder.Path() + "/program";
};

TEST_F(VersionResourceTest, ReadsTheSectionOfBothElfClasses) {
  ElfFile<> elf64;
  elf64.AddSection(".text", "code");
  elf64.AddSection(".qelm_version", kBlock);
  elf64.AddSection(".comment", "after");
  auto file = Write(elf64);
  EXPECT_EQ(GetFileVersionInfoSize(file), kBlock.size() + 1);
  auto info = Read(file);
  ASSERT_FALSE(info.empty());
  EXPECT_EQ(Query(info, uR"(\)"), u"1.2.3.4");
  EXPECT_EQ(Query(info, uR"(\StringFileInfo\040904b0\FileVersion)"), u"1, 2, 3, 4");
  EXPECT_EQ(Query(info, uR"(\StringFileInfo\040904b0\Comments)"), u"a=b, ü");
  EXPECT_EQ(Query(info, uR"(\StringFileInfo\040904b0\SpecialBuild)"), u"<none>");
  EXPECT_EQ(Query(info, uR"(\StringFileInfo\040904b0\FileVer)"), u"<none>");

  ElfFile<Elf32_Ehdr, Elf32_Shdr> elf32;
  elf32.AddSection(".qelm_version", kBlock);
  info = Read(Write(elf32));
  EXPECT_EQ(Query(info, uR"(\StringFileInfo\040904b0\FileVersion)"), u"1, 2, 3, 4");
}

TEST_F(VersionResourceTest, BufferOfAnotherSizeOrNoBufferIsRefused) {
  ElfFile<> elf;
  elf.AddSection(".qelm_version", kBlock);
  auto file = Write(elf);
  const uint32_t size = GetFileVersionInfoSize(file);
  std::vector<char> info(size + 10);
  EXPECT_FALSE(GetFileVersionInfo(file, size - 1, info.data()));
  EXPECT_FALSE(GetFileVersionInfo(file, size + 1, info.data()));
  EXPECT_FALSE(GetFileVersionInfo(file, size, nullptr));
  EXPECT_TRUE(GetFileVersionInfo(file, size, info.data()));
}

TEST_F(VersionResourceTest, BlockWithoutItsFirstLineIsNoVersionInformation) {
  ElfFile<> elf;
  elf.AddSection(".qelm_version", "\\StringFileInfo\\040904b0\\FileVersion=1, 0, 0, 0\n");
  auto info = Read(Write(elf));
  ASSERT_FALSE(info.empty());
  EXPECT_EQ(Query(info, uR"(\StringFileInfo\040904b0\FileVersion)"), u"<none>");
  ElfFile<> longer;
  longer.AddSection(".qelm_version", "VS_VERSION_INFO2\n\\=1.0.0.0\n");
  EXPECT_EQ(Query(Read(Write(longer)), u"\\"), u"<none>");
  std::u16string value;
  EXPECT_FALSE(VerQueryValue(nullptr, u"\\", &value));
}

TEST_F(VersionResourceTest, DamagedFilesHaveNoVersionInformation) {
  using Headers = std::vector<Elf64_Shdr>;
  const std::vector<std::pair<const char*, std::function<void(Elf64_Ehdr&, Headers&)>>> damages = {
      {"section beyond the end", [](Elf64_Ehdr&, Headers& h) { h[1].sh_offset = 1u << 30; }},
      {"section size beyond the end", [](Elf64_Ehdr&, Headers& h) { h[1].sh_size = ~0ull - 8; }},
      {"name beyond the name table", [](Elf64_Ehdr&, Headers& h) { h[1].sh_name = 100000; }},
      {"name table beyond the end", [](Elf64_Ehdr&, Headers& h) { h.back().sh_size = 1u << 31; }},
      {"name table not a string table",
       [](Elf64_Ehdr&, Headers& h) { h.back().sh_type = SHT_PROGBITS; }},
      {"name index out of range", [](Elf64_Ehdr& e, Headers&) { e.e_shstrndx = 200; }},
      {"header table beyond the end", [](Elf64_Ehdr& e, Headers&) { e.e_shnum = 60000; }},
      {"header entries too small", [](Elf64_Ehdr& e, Headers&) { e.e_shentsize = 8; }},
      {"no header table", [](Elf64_Ehdr& e, Headers&) { e.e_shoff = 0; }},
      {"other byte order", [](Elf64_Ehdr& e, Headers&) { e.e_ident[EI_DATA] = ELFDATA2MSB; }},
      {"unknown class", [](Elf64_Ehdr& e, Headers&) { e.e_ident[EI_CLASS] = 7; }},
      {"no bits in the file", [](Elf64_Ehdr&, Headers& h) { h[1].sh_type = SHT_NOBITS; }},
  };
  for (const auto& [what, damage] : damages) {
    ElfFile<> elf;
    elf.AddSection(".qelm_version", kBlock);
    elf.Spoil(damage);
    EXPECT_EQ(GetFileVersionInfoSize(Write(elf)), 0u) << what;
  }
  // Cut short in the middle of its headers.
  ElfFile<> elf;
  elf.AddSection(".qelm_version", kBlock);
  WriteFile(path, elf.Bytes().substr(0, 40));
  EXPECT_EQ(GetFileVersionInfoSize(platform::Utf8ToWide(path)), 0u);
  // A folder, and an empty version section.
  EXPECT_EQ(GetFileVersionInfoSize(platform::Utf8ToWide(folder.Path())), 0u);
  ElfFile<> empty;
  empty.AddSection(".qelm_version", "");
  EXPECT_EQ(GetFileVersionInfoSize(Write(empty)), 0u);
}

TEST(VersionResourceOfThisProgram, CarriesTheProjectsFixedVersion) {
  const std::u16string self = platform::ModuleFileName();
  const uint32_t size = GetFileVersionInfoSize(self);
  ASSERT_GT(size, 0u);
  std::vector<char> info(size);
  ASSERT_TRUE(GetFileVersionInfo(self, size, info.data()));
  std::u16string value;
  ASSERT_TRUE(VerQueryValue(info.data(), u"\\", &value));
  EXPECT_EQ(value, u"1.0.0.0");
  ASSERT_TRUE(VerQueryValue(info.data(), uR"(\StringFileInfo\040904b0\FileVersion)", &value));
  EXPECT_EQ(value, u"1, 0, 0, 0");
}

}  // namespace
