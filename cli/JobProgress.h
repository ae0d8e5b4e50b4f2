#pragma once
// How far the job on this port has got, kept where the signal watcher can read it at any
// moment: the report as it stands, and whether a store or reset is under way (the one span
// in which a radio can be left answering at a rate it has not stored). The job updates it at
// each step; a second signal prints it as the port's last word.
//
// Nothing fails; every call is safe from any thread.

#include <mutex>
#include <string>

#include "cli/CliReport.h"

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
  // A store or reset begins: from now on the radio may hold settings it has not stored.
  void BeginChange() {
    std::lock_guard<std::mutex> lock(m_);
    changing_ = true;
    report_.phase = "started";
  }
  void EndChange() {
    std::lock_guard<std::mutex> lock(m_);
    changing_ = false;
  }
  // The radio was told to answer at another rate (its settings not yet stored).
  void RateSwitched(const std::string& rate) {
    std::lock_guard<std::mutex> lock(m_);
    report_.rate = rate;
    report_.stored = false;
  }
  bool Changing() const {
    std::lock_guard<std::mutex> lock(m_);
    return changing_;
  }

 private:
  mutable std::mutex m_;
  JobReport report_;
  bool changing_ = false;
};

}  // namespace cli
