#include "cli/CliReport.h"

#include <cstdio>
#include <sstream>
#include <vector>

#include "platform/system/CodePage.h"
#include "platform/system/SafeText.h"

namespace cli {

namespace {

constexpr char kRecordWord[] = "QELM-FLEET-RECORD";

std::string Field(std::string text) {
  for (char& c : text)
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  return text;
}

}  // namespace

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20 || c == 0x7F) {
          char esc[8];
          std::snprintf(esc, sizeof esc, "\\u%04x", c);
          out += esc;
        } else if (c == 0xC2 && i + 1 < text.size() &&
                   static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(text[i + 1]) < 0xA0) {
          // U+0080 to U+009F: C1 controls, which some terminals obey.
          char esc[8];
          std::snprintf(esc, sizeof esc, "\\u%04x", static_cast<unsigned char>(text[++i]));
          out += esc;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string ReportText(const JobReport& r) {
  std::ostringstream out;
  auto line = [&](const char* name, const std::string& value) {
    std::string label = std::string(name) + ":";
    label.resize(11, ' ');
    out << label << ForTerminal(value) << "\n";
  };
  line("Port", r.port);
  if (r.haveSettings) {
    line("Model", std::to_string(r.model));
    line("Firmware", r.firmware);
    line("Device",
         r.deviceIndex >= 0 ? std::to_string(r.deviceIndex) + " " + r.deviceName : "none");
    line("Link", r.link >= 0 ? std::to_string(r.link) : "none");
    line("Mode", r.mode.empty() ? "none" : r.mode);
    line("Rate", r.rate);
    if (r.service) {
      line("Band", r.bandName + " (" + std::to_string(r.band) + ")");
      line("Power", r.powerName + " (" + std::to_string(r.power) + ")");
    }
  } else if (!r.rate.empty()) {
    line("Rate", r.rate);
  }
  if (r.verified) line("Verified", *r.verified ? "yes" : "no");
  line("Result", r.result);
  return out.str();
}

std::string ReportJson(const JobReport& r) {
  std::ostringstream out;
  out << "{\"job\":" << JsonString(r.job) << ",\"port\":" << JsonString(r.port)
      << ",\"status\":" << r.status << ",\"result\":" << JsonString(r.result);
  if (!r.error.empty()) out << ",\"error\":" << JsonString(r.error);
  if (r.haveSettings) {
    out << ",\"model\":" << r.model << ",\"firmware\":" << JsonString(r.firmware);
    out << ",\"device\":";
    if (r.deviceIndex >= 0)
      out << "{\"number\":" << r.deviceIndex << ",\"name\":" << JsonString(r.deviceName) << "}";
    else
      out << "null";
    out << ",\"link\":";
    if (r.link >= 0)
      out << r.link;
    else
      out << "null";
    out << ",\"mode\":";
    if (!r.mode.empty())
      out << JsonString(r.mode);
    else
      out << "null";
    if (r.service)
      out << ",\"band\":{\"value\":" << r.band << ",\"name\":" << JsonString(r.bandName)
          << "},\"power\":{\"value\":" << r.power << ",\"name\":" << JsonString(r.powerName) << "}";
  }
  if (!r.rate.empty()) out << ",\"rate\":" << r.rate;
  if (r.verified) out << ",\"verified\":" << (*r.verified ? "true" : "false");
  out << "}\n";
  return out.str();
}

std::string RecordLine(const JobReport& r) {
  std::ostringstream out;
  out << kRecordWord << '\t' << r.status << '\t' << Field(r.result) << '\t'
      << (r.haveSettings ? 1 : 0) << '\t' << r.model << '\t' << Field(r.firmware) << '\t'
      << r.deviceIndex << '\t' << Field(r.deviceName) << '\t' << r.link << '\t' << Field(r.mode)
      << '\t' << Field(r.rate) << '\t' << Field(r.error) << '\n';
  return out.str();
}

bool ParseRecordLine(const std::string& line, JobReport* r) {
  std::vector<std::string> f;
  size_t start = 0;
  for (;;) {
    size_t tab = line.find('\t', start);
    f.push_back(line.substr(start, tab - start));
    if (tab == std::string::npos) break;
    start = tab + 1;
  }
  if (f.size() != 12 || f[0] != kRecordWord) return false;
  try {
    r->status = std::stoi(f[1]);
    r->result = f[2];
    r->haveSettings = f[3] == "1";
    r->model = std::stoi(f[4]);
    r->firmware = f[5];
    r->deviceIndex = std::stoi(f[6]);
    r->deviceName = f[7];
    r->link = std::stoi(f[8]);
    r->mode = f[9];
    r->rate = f[10];
    r->error = f[11];
  } catch (...) {
    return false;
  }
  return true;
}

std::string ForTerminal(const std::string& text) {
  return platform::SafeUtf8(platform::Utf8ToWide(text));
}

}  // namespace cli
