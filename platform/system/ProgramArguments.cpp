#include "platform/system/ProgramArguments.h"

namespace platform {

ProgramArguments::ProgramArguments(int argc, char** argv) : texts_(argv, argv + argc) {
  Point();
}

void ProgramArguments::Point() {
  pointers_.clear();
  for (std::string& t : texts_) pointers_.push_back(t.data());
  pointers_.push_back(nullptr);
}

}  // namespace platform
