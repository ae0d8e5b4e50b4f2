#include "cli/CliRetry.h"

#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/InputText.h"
#include "cli/JsonText.h"
#include "cli/PortNames.h"

namespace cli {

namespace {

struct Entry {
  std::string port, result;
  std::optional<int> link;
};

// One CSV record as the report writes it: fields split at commas, a quoted field's doubled
// quotes taken as one, a line end inside quotes kept.
bool CsvRecord(std::istream& in, std::vector<std::string>* fields) {
  fields->clear();
  std::string field;
  bool quoted = false, any = false;
  for (char c; in.get(c);) {
    any = true;
    if (quoted) {
      if (c == '"') {
        if (in.peek() == '"') {
          field += '"';
          in.get(c);
        } else {
          quoted = false;
        }
      } else {
        field += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      fields->push_back(field);
      field.clear();
    } else if (c == '\n') {
      break;
    } else if (c != '\r') {
      field += c;
    }
  }
  if (!any) return false;
  fields->push_back(field);
  return true;
}

// The report shows a field that a spreadsheet would take for a formula behind a quote.
std::string CsvText(const std::string& field) {
  if (field.size() > 1 && field[0] == '\'' &&
      std::string("=+-@").find(field[1]) != std::string::npos)
    return field.substr(1);
  return field;
}

bool FromCsv(const std::string& text, const std::string& source, std::vector<Entry>* out,
             std::string* error) {
  std::istringstream in(text);
  std::vector<std::string> header, row;
  if (!CsvRecord(in, &header)) return true;
  std::map<std::string, size_t> column;
  for (size_t i = 0; i < header.size(); ++i) column[header[i]] = i;
  if (!column.count("port") || !column.count("result"))
    return *error = source + " has no port and result columns", false;
  while (CsvRecord(in, &row)) {
    if (row.size() == 1 && row[0].empty()) continue;
    if (row.size() != header.size())
      return *error = source + " has a row of " + std::to_string(row.size()) + " fields, not " +
                      std::to_string(header.size()),
             false;
    Entry e{CsvText(row[column["port"]]), row[column["result"]], std::nullopt};
    if (column.count("link_asked") && !row[column["link_asked"]].empty())
      e.link = std::atoi(row[column["link_asked"]].c_str());
    out->push_back(e);
  }
  return true;
}

bool FromJsonLines(const std::string& text, const std::string& source, std::vector<Entry>* out,
                   std::string* error) {
  std::istringstream in(text);
  int number = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
    nlohmann::json v;
    std::string why;
    if (!ParseJsonObject(line, &v, &why))
      return *error = source + " line " + std::to_string(number) + ": " + why, false;
    if (v.contains("summary")) continue;
    auto port = v.find("port");
    auto result = v.find("result");
    if (port == v.end() || !port->is_string() || result == v.end() || !result->is_string())
      return *error = source + " line " + std::to_string(number) + " has no port and result", false;
    Entry e{port->get<std::string>(), result->get<std::string>(), std::nullopt};
    if (auto l = v.find("link_asked"); l != v.end() && l->is_number_integer())
      e.link = l->get<int>();
    out->push_back(e);
  }
  return true;
}

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

bool EndedWell(const std::string& result) {
  return result == "done" || result == "unchanged" || result == "planned";
}

bool FailedPortsOf(const std::string& text, bool csv, const std::string& source,
                   std::vector<FleetPort>* ports, std::string* error) {
  std::vector<Entry> entries;
  if (!(csv ? FromCsv(text, source, &entries, error)
            : FromJsonLines(text, source, &entries, error)))
    return false;
  // The last line of a port is its outcome; the order is that of its first line.
  std::vector<std::string> order;
  std::map<std::string, Entry> last;
  for (const Entry& e : entries) {
    if (!last.count(e.port)) order.push_back(e.port);
    last[e.port] = e;
  }
  std::vector<FleetPort> out;
  for (const std::string& name : order) {
    const Entry& e = last[name];
    if (EndedWell(e.result)) continue;
    FleetPort p;
    if (!PortName(e.port, &p.port, error)) return *error = source + ": " + *error, false;
    if (e.link && *e.link >= 0 && *e.link < 16) p.link = e.link;
    out.push_back(p);
  }
  *ports = out;
  return true;
}

bool FailedPorts(const std::string& path, std::vector<FleetPort>* ports, std::string* error) {
  const bool csv = EndsWith(path, ".csv");
  if (!csv && !EndsWith(path, ".jsonl"))
    return *error = "--retry-failed reads a .jsonl or a .csv report, not '" + Quoted(path) + "'",
           false;
  std::string text;
  if (!ReadInputText(path, "the report", &text, error)) return false;
  return FailedPortsOf(text, csv, "the report '" + Quoted(path) + "'", ports, error);
}

}  // namespace cli
