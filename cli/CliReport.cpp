#include "cli/CliReport.h"

#include <cstdio>
#include <sstream>

#include "cli/JsonValue.h"
#include "platform/system/CodePage.h"
#include "platform/system/SafeText.h"

namespace cli {

namespace {

constexpr char kRecordWord[] = "QELM-FLEET-RECORD ";

std::string Seconds(double s) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", s);
  return text;
}

std::string OrNull(bool known, const std::string& json) {
  return known ? json : "null";
}

std::string OptBool(const std::optional<bool>& b) {
  return b ? (*b ? "true" : "false") : "null";
}

// A CSV field: quoted when it holds a comma, a quote or a line end; a leading sign that a
// spreadsheet would take for a formula is shown as text.
std::string CsvField(std::string text) {
  if (!text.empty() && (text[0] == '=' || text[0] == '+' || text[0] == '-' || text[0] == '@'))
    text.insert(0, "'");
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

}  // namespace

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    char esc[8];
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c == 0x7F) {
      std::snprintf(esc, sizeof esc, "\\u%04x", c);
      out += esc;
    } else if (c == 0xC2 && i + 1 < text.size() &&
               static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(text[i + 1]) < 0xA0) {
      // U+0080 to U+009F: C1 controls, which some terminals obey.
      std::snprintf(esc, sizeof esc, "\\u%04x", static_cast<unsigned char>(text[++i]));
      out += esc;
    } else {
      out += static_cast<char>(c);
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
         r.deviceIndex >= 0 ? std::to_string(r.deviceIndex) + " " + r.deviceName : "unknown");
    line("Link", r.link >= 0 ? std::to_string(r.link) : "unknown");
    line("Mode", r.mode.empty() ? "unknown" : r.mode);
    if (r.service) {
      line("Band", r.bandName + " (" + std::to_string(r.band) + ")");
      line("Power", r.powerName + " (" + std::to_string(r.power) + ")");
    }
  }
  if (!r.rate.empty()) line("Rate", r.rate);
  if (r.stored) line("Stored", *r.stored ? "yes" : "no");
  if (r.verified) line("Verified", *r.verified ? "yes" : "no");
  if (!r.note.empty()) line("Note", r.note);
  line("Result", r.result);
  if (r.phase != "read" && r.job != "read") line("Phase", r.phase);
  return out.str();
}

std::string ReportJson(const JobReport& r) {
  std::ostringstream out;
  const bool device = r.haveSettings && r.deviceIndex >= 0;
  out << "{\"job\":" << JsonString(r.job) << ",\"port\":" << JsonString(r.port)
      << ",\"status\":" << r.status << ",\"result\":" << JsonString(r.result)
      << ",\"phase\":" << JsonString(r.phase)
      << ",\"model\":" << OrNull(r.haveSettings, std::to_string(r.model))
      << ",\"firmware\":" << OrNull(r.haveSettings, JsonString(r.firmware)) << ",\"device\":"
      << OrNull(device, "{\"number\":" + std::to_string(r.deviceIndex) +
                            ",\"name\":" + JsonString(r.deviceName) + "}")
      << ",\"link\":" << OrNull(r.haveSettings && r.link >= 0, std::to_string(r.link))
      << ",\"mode\":" << OrNull(r.haveSettings && !r.mode.empty(), JsonString(r.mode))
      << ",\"rate\":" << OrNull(!r.rate.empty(), r.rate) << ",\"stored\":" << OptBool(r.stored)
      << ",\"band\":"
      << OrNull(r.haveSettings && r.service, "{\"value\":" + std::to_string(r.band) +
                                                 ",\"name\":" + JsonString(r.bandName) + "}")
      << ",\"power\":"
      << OrNull(r.haveSettings && r.service, "{\"value\":" + std::to_string(r.power) +
                                                 ",\"name\":" + JsonString(r.powerName) + "}")
      << ",\"verified\":" << OptBool(r.verified)
      << ",\"note\":" << OrNull(!r.note.empty(), JsonString(r.note))
      << ",\"error\":" << OrNull(!r.error.empty(), JsonString(r.error))
      << ",\"seconds\":" << Seconds(r.seconds) << "}\n";
  return out.str();
}

std::string ReportCsvHeader() {
  return "port,job,status,result,phase,model,firmware,device_number,device_name,link,mode,rate,"
         "stored,band,power,verified,note,error,seconds\r\n";
}

std::string ReportCsv(const JobReport& r) {
  const bool device = r.haveSettings && r.deviceIndex >= 0;
  auto opt = [](const std::optional<bool>& b) { return b ? (*b ? "yes" : "no") : ""; };
  std::ostringstream out;
  out << CsvField(r.port) << ',' << r.job << ',' << r.status << ',' << CsvField(r.result) << ','
      << r.phase << ',' << (r.haveSettings ? std::to_string(r.model) : "") << ','
      << CsvField(r.haveSettings ? r.firmware : "") << ','
      << (device ? std::to_string(r.deviceIndex) : "") << ','
      << CsvField(device ? r.deviceName : "") << ','
      << (r.haveSettings && r.link >= 0 ? std::to_string(r.link) : "") << ','
      << (r.haveSettings ? r.mode : "") << ',' << r.rate << ',' << opt(r.stored) << ','
      << (r.haveSettings && r.service ? std::to_string(r.band) : "") << ','
      << (r.haveSettings && r.service ? std::to_string(r.power) : "") << ',' << opt(r.verified)
      << ',' << CsvField(r.note) << ',' << CsvField(r.error) << ',' << Seconds(r.seconds) << "\r\n";
  return out.str();
}

std::string SummaryJson(const FleetSummary& s) {
  std::ostringstream out;
  out << "{\"summary\":true,\"ports\":" << s.ports << ",\"done\":" << s.done
      << ",\"failed\":" << s.failed << ",\"not_started\":" << s.notStarted
      << ",\"worst\":" << s.worst << ",\"status\":" << s.status
      << ",\"signal\":" << (s.signal ? std::to_string(s.signal) : "null")
      << ",\"seconds\":" << Seconds(s.seconds) << "}\n";
  return out.str();
}

std::string SummaryText(const FleetSummary& s) {
  std::string text = std::to_string(s.ports) + " ports: " + std::to_string(s.done) + " done, " +
                     std::to_string(s.failed) + " failed";
  if (s.notStarted) text += ", " + std::to_string(s.notStarted) + " not started";
  text += "; worst status " + std::to_string(s.worst);
  if (s.signal) text += "; stopped by signal " + std::to_string(s.signal);
  return text + "\n";
}

std::string RecordLine(const JobReport& r) {
  return kRecordWord + ReportJson(r);
}

bool ParseRecordLine(const std::string& line, JobReport* r) {
  const std::string word = kRecordWord;
  if (line.rfind(word, 0) != 0) return false;
  JsonValue v;
  if (!ParseJson(line.substr(word.size()), &v) || v.kind != JsonValue::kObject) return false;
  auto status = v.Int("status");
  if (!status) return false;
  JobReport out;
  out.status = *status;
  out.job = v.Text("job").value_or("");
  out.port = v.Text("port").value_or("");
  out.result = v.Text("result").value_or("");
  out.phase = v.Text("phase").value_or("not started");
  out.error = v.Text("error").value_or("");
  out.note = v.Text("note").value_or("");
  out.haveSettings = v.Int("model").has_value();
  out.model = v.Int("model").value_or(0);
  out.firmware = v.Text("firmware").value_or("");
  if (const JsonValue* d = v.Get("device")) {
    out.deviceIndex = d->Int("number").value_or(-1);
    out.deviceName = d->Text("name").value_or("");
  }
  out.link = v.Int("link").value_or(-1);
  out.mode = v.Text("mode").value_or("");
  if (auto rate = v.Int("rate")) out.rate = std::to_string(*rate);
  out.stored = v.Bool("stored");
  if (const JsonValue* b = v.Get("band"); b && b->kind == JsonValue::kObject) {
    out.service = true;
    out.band = b->Int("value").value_or(0);
    out.bandName = b->Text("name").value_or("");
  }
  if (const JsonValue* p = v.Get("power"); p && p->kind == JsonValue::kObject) {
    out.power = p->Int("value").value_or(0);
    out.powerName = p->Text("name").value_or("");
  }
  out.verified = v.Bool("verified");
  *r = out;
  return true;
}

std::string ForTerminal(const std::string& text) {
  return platform::SafeUtf8(platform::Utf8ToWide(text));
}

}  // namespace cli
