#pragma once
// A serial provider for dialog tests that need ports to exist or not, and nothing more: the
// listed ports open (unless marked busy) to a device that accepts every call and never
// receives anything.

#include <set>
#include <string>

#include "platform/SerialDevice.h"

namespace testing_support {

class FakePorts : public platform::SerialProvider {
 public:
  std::set<std::u16string> present{u"COM1:", u"COM2:", u"COM3:"};
  std::set<std::u16string> busy;
  int opens = 0;

  FakePorts() { platform::SetSerialProvider(this); }
  ~FakePorts() override { platform::SetSerialProvider(nullptr); }

  std::unique_ptr<platform::SerialDevice> CreateFile(const std::u16string& name,
                                                     int* lastError) override {
    if (!present.count(name)) {
      *lastError = 2;
      return nullptr;
    }
    if (busy.count(name)) {
      *lastError = 16;
      return nullptr;
    }
    ++opens;
    return std::make_unique<Device>();
  }

 private:
  struct Device : platform::SerialDevice {
    platform::DCB dcb;
    bool GetCommState(platform::DCB& d) override {
      d = dcb;
      return true;
    }
    bool SetCommState(const platform::DCB& d) override {
      dcb = d;
      return true;
    }
    bool SetCommTimeouts(const platform::COMMTIMEOUTS&) override { return true; }
    bool PurgeComm(uint32_t) override { return true; }
    bool ClearCommError(uint32_t* e, platform::COMSTAT* s) override {
      *e = 0;
      *s = {};
      return true;
    }
    bool SetCommMask(uint32_t) override { return true; }
    bool WaitCommEvent(uint32_t* ev, uint32_t) override {
      *ev = 0;
      return false;
    }
    bool ReadFile(void*, uint32_t, uint32_t* got) override {
      *got = 0;
      return true;
    }
    bool WriteFile(const void*, uint32_t n, uint32_t* w) override {
      *w = n;
      return true;
    }
    int LastError() const override { return 0; }
  };
};

}  // namespace testing_support
