#pragma once
// How far the job on this port has got, kept where a stop signal's handler can read it at any
// moment: the report as it stands, and the store or reset's own record of what it did on the
// wire (which the sequences fill as they go). A second signal tells it as the port's last word.
//
// Nothing fails; every call is safe from any thread.

#include <mutex>
#include <string>

#include "cli/CliReport.h"
#include "radio/StoreProgress.h"

namespace cli {

class JobProgress {
 public:
  void Set(const JobReport& report) {
    std::lock_guard<std::mutex> lock(m_);
    report_ = report;
  }
  JobReport Get() const {
    std::lock_guard<std::mutex> lock(m_);
    return report_;
  }
  // What the store or reset did: given to the sequences through the settings record.
  radio::StoreProgress store;

 private:
  mutable std::mutex m_;
  JobReport report_;
};

}  // namespace cli
