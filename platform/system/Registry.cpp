#include "platform/system/Registry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QString>
#include <cstdlib>
#include <cstring>

#include "platform/system/CodePage.h"

namespace platform {

namespace {

// Two short values live in the file; anything much larger is not preferences, and reading it
// whole at every start would cost time and memory for nothing.
constexpr qint64 kMaxFileBytes = 64 * 1024;

// Only a plain file (or a link to one, as dotfile managers make) is read or written. A FIFO
// there would block the reading for ever, and a directory or device is nobody's preferences.
bool Plain(const QFileInfo& info) {
  return info.isFile();
}

// A file that cannot serve as the key any more (too large, or not readable as preferences)
// goes aside under "<name>.bad", replacing an older one, so that it is kept and a fresh key
// can take its place.
bool SetAside(const QString& file) {
  const QString aside = file + ".bad";
  QFile::remove(aside);
  return QFile::rename(file, aside);
}

}  // namespace

struct RegistryKey::Impl {
  std::unique_ptr<QSettings> settings;
  bool writable = false;
};

RegistryKey::RegistryKey() : impl_(std::make_unique<Impl>()) {}
RegistryKey::~RegistryKey() {
  Close();
}

std::string RegistryKey::FileForKey(const std::u16string& subKey) {
  std::string folder;
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && *xdg == '/') {
    folder = xdg;
  } else {
    const char* home = std::getenv("HOME");
    folder = std::string(home && *home ? home : "/tmp") + "/.config";
  }
  std::string key = WideToUtf8(subKey);
  const std::string software = "Software\\";
  if (key.compare(0, software.size(), software) == 0) key = key.substr(software.size());
  for (char& c : key)
    if (c == '\\') c = '/';
  return folder + "/" + key + ".conf";
}

long RegistryKey::Open(const std::u16string& subKey, RegistryAccess access) {
  Close();
  QString file = QString::fromStdString(FileForKey(subKey));
  const QFileInfo info(file);
  if (!Plain(info)) return ERROR_FILE_NOT_FOUND;
  if (info.size() > kMaxFileBytes) return ERROR_ACCESS_DENIED;
  impl_->settings = std::make_unique<QSettings>(file, QSettings::IniFormat);
  if (impl_->settings->status() != QSettings::NoError) {
    impl_->settings.reset();
    return ERROR_ACCESS_DENIED;
  }
  impl_->writable = access == KEY_WRITE;
  return ERROR_SUCCESS;
}

long RegistryKey::Create(const std::u16string& subKey) {
  Close();
  QString file = QString::fromStdString(FileForKey(subKey));
  if (!QDir().mkpath(QFileInfo(file).absolutePath())) return ERROR_ACCESS_DENIED;
  const QFileInfo info(file);
  if (info.exists()) {
    if (!Plain(info)) return ERROR_ACCESS_DENIED;  // left as it is, whatever it is
    if (info.size() > kMaxFileBytes && !SetAside(file)) return ERROR_ACCESS_DENIED;
  }
  impl_->settings = std::make_unique<QSettings>(file, QSettings::IniFormat);
  if (impl_->settings->status() == QSettings::FormatError) {
    impl_->settings.reset();
    if (!SetAside(file)) return ERROR_ACCESS_DENIED;
    impl_->settings = std::make_unique<QSettings>(file, QSettings::IniFormat);
  }
  impl_->writable = true;
  if (!QFileInfo(file).exists()) {
    // Creating the key makes it exist, values or not.
    impl_->settings->sync();
    if (impl_->settings->status() != QSettings::NoError || !QFileInfo(file).exists()) {
      QFile f(file);
      if (!f.open(QIODevice::WriteOnly)) {
        impl_->settings.reset();
        return ERROR_ACCESS_DENIED;
      }
    }
  }
  return ERROR_SUCCESS;
}

long RegistryKey::QueryValue(const std::u16string& name, void* data, uint32_t* size) {
  if (!impl_->settings || !size) return ERROR_INVALID_HANDLE;
  QString key = QString::fromStdU16String(name);
  if (!impl_->settings->contains(key)) return ERROR_FILE_NOT_FOUND;
  std::u16string text = impl_->settings->value(key).toString().toStdU16String();
  uint32_t needed = static_cast<uint32_t>((text.size() + 1) * sizeof(char16_t));
  if (!data || needed > *size) {
    *size = needed;
    return data ? ERROR_MORE_DATA : ERROR_SUCCESS;
  }
  std::memcpy(data, text.c_str(), needed);
  *size = needed;
  return ERROR_SUCCESS;
}

long RegistryKey::SetValue(const std::u16string& name, RegistryType type, const void* data,
                           uint32_t size) {
  if (!impl_->settings || !impl_->writable) return ERROR_INVALID_HANDLE;
  if (type != REG_SZ || (size % 2) != 0 || (size > 0 && !data)) return ERROR_ACCESS_DENIED;
  std::u16string text(static_cast<const char16_t*>(data), size / 2);
  // The stored text ends at its terminating zero, as a string value read back would.
  auto zero = text.find(u'\0');
  if (zero != std::u16string::npos) text.resize(zero);
  impl_->settings->setValue(QString::fromStdU16String(name), QString::fromStdU16String(text));
  impl_->settings->sync();
  return impl_->settings->status() == QSettings::NoError ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

long RegistryKey::Close() {
  if (impl_->settings) impl_->settings->sync();
  impl_->settings.reset();
  impl_->writable = false;
  return ERROR_SUCCESS;
}

}  // namespace platform
