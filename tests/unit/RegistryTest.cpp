#include <sys/stat.h>

#include "TestSupport.h"
#include "platform/system/Registry.h"

using namespace testing_support;

namespace {

const char16_t kKey[] = u"Software\\Morva Fendral\\QELM Config Tool";

long Set(platform::RegistryKey& key, const char16_t* name, const std::u16string& value) {
  return key.SetValue(name, platform::REG_SZ, value.c_str(),
                      static_cast<uint32_t>((value.size() + 1) * 2));
}

ino_t Inode(const std::string& path) {
  struct stat st {};
  stat(path.c_str(), &st);
  return st.st_ino;
}

TEST(Registry, KeyLivesInThePerUserFileAndEveryWriteReplacesItWhole) {
  TempFolder folder;
  platform::RegistryKey key;
  EXPECT_EQ(key.Open(kKey, platform::KEY_QUERY_VALUE), platform::ERROR_FILE_NOT_FOUND);
  ASSERT_EQ(key.Create(kKey), platform::ERROR_SUCCESS);
  EXPECT_EQ(platform::RegistryKey::FileForKey(kKey), folder.PreferencesPath());
  ASSERT_EQ(Set(key, u"Port", u"COM2"), platform::ERROR_SUCCESS);
  ino_t first = Inode(folder.PreferencesPath());
  ASSERT_EQ(Set(key, u"Baudrate", u"9600"), platform::ERROR_SUCCESS);
  EXPECT_NE(Inode(folder.PreferencesPath()), first);  // a new file took the old one's name
  key.Close();

  ASSERT_EQ(key.Open(kKey, platform::KEY_QUERY_VALUE), platform::ERROR_SUCCESS);
  char16_t buf[255];
  uint32_t size = sizeof buf;
  ASSERT_EQ(key.QueryValue(u"Port", buf, &size), platform::ERROR_SUCCESS);
  EXPECT_EQ(size, 10u);
  EXPECT_EQ(std::u16string(buf), u"COM2");
  size = sizeof buf;
  EXPECT_EQ(key.QueryValue(u"Missing", buf, &size), platform::ERROR_FILE_NOT_FOUND);
}

TEST(Registry, ValueLongerThanTheReadBufferFailsToRead) {
  TempFolder folder;
  platform::RegistryKey key;
  ASSERT_EQ(key.Create(kKey), 0);
  Set(key, u"Fits", std::u16string(254, u'x'));  // 510 bytes with its zero
  Set(key, u"TooLong", std::u16string(255, u'x'));
  char16_t buf[255];
  uint32_t size = sizeof buf;
  EXPECT_EQ(key.QueryValue(u"Fits", buf, &size), platform::ERROR_SUCCESS);
  size = sizeof buf;
  EXPECT_EQ(key.QueryValue(u"TooLong", buf, &size), platform::ERROR_MORE_DATA);
  EXPECT_EQ(size, 512u);
}

TEST(Registry, UnwritableFolderRefusesTheKey) {
  TempFolder folder;
  WriteFile(folder.Path() + "/config", "not a folder");
  platform::RegistryKey key;
  EXPECT_NE(key.Create(kKey), platform::ERROR_SUCCESS);
  EXPECT_NE(Set(key, u"Port", u"COM1"), platform::ERROR_SUCCESS);
}

}  // namespace
