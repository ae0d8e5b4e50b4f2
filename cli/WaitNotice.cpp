#include "cli/WaitNotice.h"

#include <sstream>

namespace cli {

namespace {

constexpr char kNoticeWord[] = "QELM-FLEET-WAIT ";

std::string Ordinal(int n) {
  const int last = n % 10, lastTwo = n % 100;
  const char* suffix = lastTwo >= 11 && lastTwo <= 13 ? "th"
                       : last == 1                    ? "st"
                       : last == 2                    ? "nd"
                       : last == 3                    ? "rd"
                                                      : "th";
  return std::to_string(n) + suffix;
}

constexpr char kReconnect[] = "Please disconnect, then reconnect the cable to the radio.";

// "Waiting for radio at 19200 bps... (the 4th rate; 41 s of --wait left)"
std::string Waiting(const std::string& rate, int ratesTried, std::optional<uint64_t> leftMs) {
  const std::string text = "Waiting for radio at " + rate + " bps...";
  std::string more;
  if (ratesTried > 1) more = "the " + Ordinal(ratesTried) + " rate";
  if (leftMs)
    more +=
        (more.empty() ? "" : "; ") + std::to_string((*leftMs + 999) / 1000) + " s of --wait left";
  return more.empty() ? text : text + " (" + more + ")";
}

}  // namespace

std::string WaitNoticeLine(const WaitNotice& n) {
  if (n.over) return std::string(kNoticeWord) + "over";
  return kNoticeWord + n.rate + " " + std::to_string(n.ratesTried) + " " +
         (n.leftMs ? std::to_string(*n.leftMs) : std::string("-"));
}

bool ParseWaitNoticeLine(const std::string& line, WaitNotice* n) {
  const std::string word = kNoticeWord;
  if (line.rfind(word, 0) != 0) return false;
  const std::string rest = line.substr(word.size());
  if (rest == "over") {
    *n = WaitNotice{};
    n->over = true;
    return true;
  }
  std::istringstream in(rest);
  WaitNotice read;
  std::string left;
  if (!(in >> read.rate >> read.ratesTried >> left) || read.ratesTried < 1) return false;
  if (read.rate.find_first_not_of("0123456789") != std::string::npos) return false;
  if (left != "-") {
    if (left.find_first_not_of("0123456789") != std::string::npos || left.size() > 18) return false;
    read.leftMs = std::stoull(left);
  }
  *n = read;
  return true;
}

std::string WaitingText(const std::string& rate, int ratesTried, std::optional<uint64_t> leftMs) {
  return std::string(kReconnect) + " " + Waiting(rate, ratesTried, leftMs);
}

std::string LiveWaitingText(const std::string& rate, int ratesTried,
                            std::optional<uint64_t> leftMs) {
  return Waiting(rate, ratesTried, leftMs) + " " + kReconnect;
}

}  // namespace cli
