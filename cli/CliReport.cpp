#include "cli/CliReport.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/InputText.h"
#include "cli/JsonText.h"
#include "platform/system/Clock.h"
#include "platform/system/CodePage.h"
#include "platform/system/SafeText.h"

namespace cli {

namespace {

using Json = nlohmann::ordered_json;

constexpr char kRecordWord[] = "QELM-FLEET-RECORD ";

std::string Seconds(double s) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", s);
  return text;
}

double Tenths(double s) {
  return std::round(s * 10) / 10;
}

Json OptBool(const std::optional<bool>& b) {
  return b ? Json(*b) : Json(nullptr);
}

std::string Dump(const Json& j) {
  // ASCII only: nothing a terminal could take for a control sequence reaches it.
  return j.dump(-1, ' ', true, nlohmann::json::error_handler_t::replace);
}

std::string Joined(const std::vector<std::string>& items, const char* between) {
  std::string out;
  for (const auto& i : items) out += (out.empty() ? "" : between) + i;
  return out;
}

// A CSV field: control characters escaped; quoted when it holds a comma, a quote or a line
// end; a leading sign that a spreadsheet would take for a formula is shown as text.
std::string CsvField(std::string text) {
  // What came from a radio or a file is shown, never obeyed, by whatever reads the file.
  text = Printable(text);
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

std::string StoredWord(const JobReport& r) {
  return r.stored ? (*r.stored ? "yes" : "no") : "unknown";
}

Json ChangeValue(const std::string& text, bool number) {
  if (number && !text.empty() && text.find_first_not_of("0123456789") == std::string::npos)
    return Json(std::stol(text));
  return Json(text);
}

Json ChangesJson(const std::optional<std::vector<PlanChange>>& changes) {
  if (!changes) return Json(nullptr);
  Json list = Json::array();
  for (const PlanChange& c : *changes)
    list.push_back({{"setting", c.setting},
                    {"from", c.from ? ChangeValue(*c.from, c.number) : Json(nullptr)},
                    {"to", ChangeValue(c.to, c.number)}});
  return list;
}

Json TextOrNull(const std::string& text) {
  return text.empty() ? Json(nullptr) : Json(text);
}

Json ReportObject(const JobReport& r) {
  const bool device = r.haveSettings && r.deviceIndex >= 0;
  Json j;
  j["job"] = r.job;
  j["port"] = r.port;
  j["status"] = r.status;
  j["result"] = r.result;
  j["phase"] = r.phase;
  j["model"] = r.haveSettings ? Json(r.model) : Json(nullptr);
  j["firmware"] = r.haveSettings ? Json(r.firmware) : Json(nullptr);
  j["device"] = device ? Json{{"number", r.deviceIndex}, {"name", r.deviceName}} : Json(nullptr);
  j["link"] = r.haveSettings && r.link >= 0 ? Json(r.link) : Json(nullptr);
  j["mode"] = r.haveSettings && !r.mode.empty() ? Json(r.mode) : Json(nullptr);
  j["rate"] = !r.rate.empty() ? Json(std::stol(r.rate)) : Json(nullptr);
  j["stored"] = OptBool(r.stored);
  j["failed"] = r.failed;
  j["band"] =
      r.haveSettings && r.service ? Json{{"value", r.band}, {"name", r.bandName}} : Json(nullptr);
  j["power"] =
      r.haveSettings && r.service ? Json{{"value", r.power}, {"name", r.powerName}} : Json(nullptr);
  j["verified"] = OptBool(r.verified);
  j["not_verifiable"] = r.notVerifiable;
  j["note"] = r.note.empty() ? Json(nullptr) : Json(r.note);
  j["error"] = r.error.empty() ? Json(nullptr) : Json(r.error);
  j["changes"] = ChangesJson(r.changes);
  j["link_asked"] = r.linkAsked ? Json(*r.linkAsked) : Json(nullptr);
  j["seconds"] = Tenths(r.seconds);
  j["path_ms"] = r.pathMs >= 0 ? Json(r.pathMs) : Json(nullptr);
  j["started"] = TextOrNull(r.started);
  j["ended"] = TextOrNull(r.ended);
  return j;
}

}  // namespace

std::string IsoNow() {
  return platform::IsoLocalTime(std::time(nullptr));
}

std::string JsonString(const std::string& text) {
  return Dump(Json(text));
}

std::string ReportText(const JobReport& r) {
  std::ostringstream out;
  auto line = [&](const char* name, const std::string& value) {
    std::string label = std::string(name) + ":";
    label.resize(11, ' ');
    out << label << Printable(value) << "\n";
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
  if (!r.rate.empty())
    line("Rate", r.rate);
  else if (r.storeJob)
    line("Rate", "unknown");
  if (r.storeJob) line("Stored", StoredWord(r));
  if (!r.failed.empty()) line("Failed", Joined(r.failed, ", "));
  if (r.verified) line("Verified", *r.verified ? "yes" : "no");
  if (!r.notVerifiable.empty())
    line("Unchecked", Joined(r.notVerifiable, ", ") + " (not verifiable)");
  if (r.changes && r.result == "planned")
    line("Changes", r.changes->empty() ? "none" : ChangesText(*r.changes));
  if (!r.note.empty()) line("Note", r.note);
  if (!r.error.empty() && r.status != 0) line("Error", r.error);
  line("Result", r.result);
  if (r.phase != "read" && r.job != "read") line("Phase", r.phase);
  return out.str();
}

std::string ReportJson(const JobReport& r) {
  return Dump(ReportObject(r)) + "\n";
}

std::string ReportCsvHeader() {
  return "port,job,status,result,phase,model,firmware,device_number,device_name,link,mode,rate,"
         "stored,failed,band,power,verified,not_verifiable,note,error,seconds,started,ended,"
         "changes,link_asked\r\n";
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
      << (r.haveSettings ? r.mode : "") << ','
      << (r.rate.empty() && r.storeJob ? "unknown" : r.rate) << ','
      << (r.storeJob ? StoredWord(r) : "") << ',' << Joined(r.failed, " ") << ','
      << (r.haveSettings && r.service ? std::to_string(r.band) : "") << ','
      << (r.haveSettings && r.service ? std::to_string(r.power) : "") << ',' << opt(r.verified)
      << ',' << Joined(r.notVerifiable, " ") << ',' << CsvField(r.note) << ',' << CsvField(r.error)
      << ',' << Seconds(r.seconds) << ',' << r.started << ',' << r.ended << ','
      << CsvField(r.changes ? ChangesText(*r.changes) : "") << ','
      << (r.linkAsked ? std::to_string(*r.linkAsked) : "") << "\r\n";
  return out.str();
}

std::string ResultLogLine(const JobReport& r) {
  std::string line = "Result: " + r.result;
  if (r.phase != "read") line += ", " + r.phase;
  if (r.storeJob) {
    line += r.stored == false ? "; store command not sent"
                              : "; store command sent, stored: " + StoredWord(r);
    line += r.rate.empty() ? "; answers at an unknown rate" : "; answers at " + r.rate;
  } else if (!r.rate.empty()) {
    line += "; answers at " + r.rate;
  }
  if (!r.failed.empty()) line += "; failed: " + Joined(r.failed, ", ");
  if (!r.notVerifiable.empty()) line += "; not verifiable: " + Joined(r.notVerifiable, ", ");
  return line;
}

std::string SummaryJson(const FleetSummary& s) {
  Json j;
  j["summary"] = true;
  j["ports"] = s.ports;
  j["done"] = s.done;
  j["failed"] = s.failed;
  j["stopped"] = s.stopped;
  j["not_started"] = s.notStarted;
  j["worst"] = s.worst;
  j["status"] = s.status;
  j["signal"] = s.signal ? Json(s.signal) : Json(nullptr);
  j["run_log"] = s.runLog.empty() ? Json(nullptr) : Json(s.runLog);
  Json results = Json::object();
  for (const auto& [result, count] : s.results) results[result] = count;
  j["results"] = results;
  j["seconds"] = Tenths(s.seconds);
  j["started"] = TextOrNull(s.started);
  j["ended"] = TextOrNull(s.ended);
  return Dump(j) + "\n";
}

std::string SummaryText(const FleetSummary& s) {
  std::string text = std::to_string(s.ports) + " ports: " + std::to_string(s.done) + " done, " +
                     std::to_string(s.failed) + " failed";
  if (s.stopped) text += ", " + std::to_string(s.stopped) + " stopped";
  if (s.notStarted) text += ", " + std::to_string(s.notStarted) + " not started";
  std::string each;
  for (const auto& [result, count] : s.results)
    each += (each.empty() ? "" : ", ") + std::to_string(count) + " " + result;
  text += "; worst status " + std::to_string(s.worst);
  if (!each.empty()) text += "; by result: " + each;
  const long total = std::lround(s.seconds);
  char time[32];
  std::snprintf(time, sizeof time, "%ld:%02ld", total / 60, total % 60);
  text += "; " + std::string(time) + " in all";
  if (s.signal) text += "; stopped by signal " + std::to_string(s.signal);
  if (!s.runLog.empty()) text += "; log " + Printable(s.runLog);
  return text + "\n";
}

std::string RecordLine(const JobReport& r) {
  return kRecordWord + ReportJson(r);
}

bool ParseRecordLine(const std::string& line, JobReport* r) {
  const std::string word = kRecordWord;
  if (line.rfind(word, 0) != 0) return false;
  return ParseReportJson(line.substr(word.size()), r);
}

bool ParseReportJson(const std::string& text, JobReport* r) {
  nlohmann::json v;
  std::string error;
  if (!ParseJsonObject(text, &v, &error)) return false;
  auto status = v.find("status");
  if (status == v.end() || !status->is_number_integer()) return false;
  auto text_of = [&v](const char* key, const std::string& otherwise = "") {
    auto it = v.find(key);
    return it != v.end() && it->is_string() ? it->get<std::string>() : otherwise;
  };
  auto int_of = [](const nlohmann::json& o, const char* key) -> std::optional<int> {
    auto it = o.find(key);
    if (it == o.end() || !it->is_number_integer()) return std::nullopt;
    return it->get<int>();
  };
  auto bool_of = [&v](const char* key) -> std::optional<bool> {
    auto it = v.find(key);
    if (it == v.end() || !it->is_boolean()) return std::nullopt;
    return it->get<bool>();
  };
  auto list_of = [&v](const char* key) {
    std::vector<std::string> out;
    auto it = v.find(key);
    if (it != v.end() && it->is_array())
      for (const auto& item : *it)
        if (item.is_string()) out.push_back(item.get<std::string>());
    return out;
  };
  JobReport out;
  out.status = status->get<int>();
  out.job = text_of("job");
  out.port = text_of("port");
  out.result = text_of("result");
  out.phase = text_of("phase", "not started");
  out.error = text_of("error");
  out.note = text_of("note");
  out.haveSettings = int_of(v, "model").has_value();
  out.model = int_of(v, "model").value_or(0);
  out.firmware = text_of("firmware");
  if (auto d = v.find("device"); d != v.end() && d->is_object()) {
    out.deviceIndex = int_of(*d, "number").value_or(-1);
    auto name = d->find("name");
    out.deviceName = name != d->end() && name->is_string() ? name->get<std::string>() : "";
  }
  out.link = int_of(v, "link").value_or(-1);
  out.mode = text_of("mode");
  if (auto rate = int_of(v, "rate")) out.rate = std::to_string(*rate);
  out.stored = bool_of("stored");
  out.storeJob = out.job == "save" || out.job == "reset";
  out.failed = list_of("failed");
  out.notVerifiable = list_of("not_verifiable");
  if (auto b = v.find("band"); b != v.end() && b->is_object()) {
    out.service = true;
    out.band = int_of(*b, "value").value_or(0);
    auto name = b->find("name");
    out.bandName = name != b->end() && name->is_string() ? name->get<std::string>() : "";
  }
  if (auto p = v.find("power"); p != v.end() && p->is_object()) {
    out.power = int_of(*p, "value").value_or(0);
    auto name = p->find("name");
    out.powerName = name != p->end() && name->is_string() ? name->get<std::string>() : "";
  }
  out.verified = bool_of("verified");
  out.linkAsked = int_of(v, "link_asked");
  out.started = text_of("started");
  out.ended = text_of("ended");
  if (auto c = v.find("changes"); c != v.end() && c->is_array()) {
    out.changes.emplace();
    for (const auto& item : *c) {
      if (!item.is_object()) continue;
      auto show = [](const nlohmann::json& x) -> std::optional<std::string> {
        if (x.is_string()) return x.get<std::string>();
        if (x.is_number_integer()) return std::to_string(x.get<long>());
        return std::nullopt;
      };
      PlanChange ch;
      ch.setting = item.value("setting", "");
      ch.from = item.contains("from") ? show(item["from"]) : std::nullopt;
      ch.to = item.contains("to") ? show(item["to"]).value_or("") : "";
      ch.number = !item.contains("to") || item["to"].is_number();
      out.changes->push_back(ch);
    }
  }
  if (auto sec = v.find("seconds"); sec != v.end() && sec->is_number())
    out.seconds = sec->get<double>();
  *r = out;
  return true;
}

std::string Printable(const std::string& text) {
  return platform::SafeUtf8(platform::Utf8ToWide(text));
}

std::string RecoveryHint(const std::string& portName, const radio::StoreProgress::State& st) {
  if (!st.begun || st.confirmed || !st.rateSent || st.newRate.empty()) return "";
  const std::string port = Quoted(portName, 300);
  const std::string now =
      "it answers at " +
      (st.rateConfirmed ? st.newRate : st.newRate + " (or still " + st.oldRate + ")") +
      " until it restarts, as the next connection restarts it";
  if (st.storeSent)
    return "the radio got its rate command and a store command the line did not confirm: " + now +
           "; restarted, it answers at " + st.newRate + " if it took the store and at " +
           st.oldRate + " with the settings it held before if not. 'qelm-cli read --port " + port +
           " --rate " + st.newRate + "' shows which";
  return "the radio got its rate command and no store: " + now + "; restarted, it answers at " +
         st.oldRate + " with the settings it held before. 'qelm-cli read --port " + port +
         " --rate " + st.oldRate +
         "' shows what it holds; the same command run again stores the new settings";
}

}  // namespace cli
