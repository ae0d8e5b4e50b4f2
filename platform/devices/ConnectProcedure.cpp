#include "platform/devices/ConnectProcedure.h"

#include <utility>

namespace platform {

namespace {

uint64_t last = 0;
bool running = false;
std::string note;

}  // namespace

void ConnectProcedure::Begin() {
  ++last;
  running = true;
  note.clear();
}

void ConnectProcedure::End() {
  running = false;
}

uint64_t ConnectProcedure::Current() {
  return running ? last : 0;
}

void ConnectProcedure::Note(std::string text) {
  note = std::move(text);
}

std::string ConnectProcedure::TakeNote() {
  return std::exchange(note, std::string());
}

}  // namespace platform
