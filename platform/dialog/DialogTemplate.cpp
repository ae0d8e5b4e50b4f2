#include "platform/dialog/DialogTemplate.h"

#include <cctype>
#include <map>
#include <sstream>

#include "platform/system/CodePage.h"

namespace platform {

const ControlTemplate* DialogTemplate::Control(int controlId) const {
  for (const auto& c : controls)
    if (c.id == controlId) return &c;
  return nullptr;
}

namespace {

struct Token {
  enum Kind { Word, Number, String, Comma, Bar, End } kind = End;
  std::string text;
  long value = 0;
};

// Splits one line of the script into tokens; comments (// to the end) are dropped.
std::vector<Token> Tokenize(const std::string& line, bool* ok) {
  std::vector<Token> out;
  size_t i = 0;
  *ok = true;
  while (i < line.size()) {
    char c = line[i];
    if (std::isspace(static_cast<unsigned char>(c))) {
      ++i;
    } else if (c == '/' && i + 1 < line.size() && line[i + 1] == '/') {
      break;
    } else if (c == ',') {
      out.push_back({Token::Comma, ",", 0});
      ++i;
    } else if (c == '|') {
      out.push_back({Token::Bar, "|", 0});
      ++i;
    } else if (c == '"') {
      std::string s;
      ++i;
      bool closed = false;
      while (i < line.size()) {
        if (line[i] == '"') {
          if (i + 1 < line.size() && line[i + 1] == '"') {
            s += '"';
            i += 2;
            continue;
          }
          closed = true;
          ++i;
          break;
        }
        s += line[i++];
      }
      if (!closed) *ok = false;
      out.push_back({Token::String, s, 0});
    } else if (std::isdigit(static_cast<unsigned char>(c)) || c == '-') {
      size_t j = i + 1;
      while (j < line.size() && std::isalnum(static_cast<unsigned char>(line[j]))) ++j;
      Token t{Token::Number, line.substr(i, j - i), 0};
      t.value = std::strtol(t.text.c_str(), nullptr, 0);
      out.push_back(t);
      i = j;
    } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_' || c == '#') {
      size_t j = i + 1;
      while (j < line.size() &&
             (std::isalnum(static_cast<unsigned char>(line[j])) || line[j] == '_'))
        ++j;
      out.push_back({Token::Word, line.substr(i, j - i), 0});
      i = j;
    } else {
      *ok = false;
      return out;
    }
  }
  return out;
}

class Parser {
 public:
  explicit Parser(ResourceScript& out) : out_(out) {
    defines_ = {{"IDOK", 1}, {"IDCANCEL", 2}, {"IDC_STATIC", -1}};
  }

  bool Feed(const std::string& text, const std::string& where) {
    std::istringstream in(text);
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
      ++lineNo;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (!Line(line)) {
        out_.error = where + ":" + std::to_string(lineNo) + ": cannot read: " + line;
        return false;
      }
    }
    if (dialog_) {
      out_.error = where + ": dialog without END";
      return false;
    }
    return true;
  }

 private:
  bool Value(const Token& t, long* v) {
    if (t.kind == Token::Number) {
      *v = t.value;
      return true;
    }
    if (t.kind == Token::Word) {
      auto it = defines_.find(t.text);
      if (it == defines_.end()) return false;
      *v = it->second;
      return true;
    }
    return false;
  }

  // Style words joined by "|", each possibly preceded by NOT.
  struct Styles {
    std::vector<std::string> on, off;
    bool Has(const std::string& s) const {
      for (auto& o : on)
        if (o == s) return true;
      return false;
    }
    bool Removed(const std::string& s) const {
      for (auto& o : off)
        if (o == s) return true;
      return false;
    }
  };

  bool ReadStyles(const std::vector<Token>& t, size_t i, Styles* st) {
    bool expectWord = true;
    bool negate = false;
    for (; i < t.size(); ++i) {
      if (expectWord) {
        if (t[i].kind != Token::Word && t[i].kind != Token::Number) return false;
        if (t[i].text == "NOT") {
          negate = true;
          continue;
        }
        (negate ? st->off : st->on).push_back(t[i].text);
        negate = false;
        expectWord = false;
      } else {
        if (t[i].kind != Token::Bar) return false;
        expectWord = true;
      }
    }
    return !expectWord || t.size() == i;
  }

  bool Line(const std::string& line) {
    bool ok = true;
    std::vector<Token> t = Tokenize(line, &ok);
    if (!ok) return false;
    if (t.empty()) return true;
    const std::string& w = t[0].text;
    if (w == "#pragma") return true;
    if (w == "#include") {
      if (t.size() != 2 || t[1].kind != Token::String) return false;
      const std::string* inc = EmbeddedResourceFile(t[1].text);
      if (!inc) return false;
      return Feed(*inc, t[1].text);
    }
    if (w == "#define") {
      long v = 0;
      if (t.size() != 3 || t[1].kind != Token::Word || !Value(t[2], &v)) return false;
      defines_[t[1].text] = v;
      return true;
    }
    if (!dialog_) {
      long id = 0;
      if (t.size() >= 2 && t[1].kind == Token::Word && t[1].text == "ICON") {
        if (t.size() != 3 || !Value(t[0], &id) || t[2].kind != Token::String) return false;
        out_.icons.emplace_back(static_cast<int>(id), t[2].text);
        return true;
      }
      if (t.size() == 9 && t[1].kind == Token::Word &&
          (t[1].text == "DIALOG" || t[1].text == "DIALOGEX") && Value(t[0], &id)) {
        DialogTemplate d;
        d.id = static_cast<int>(id);
        long v[4];
        for (int k = 0; k < 4; ++k) {
          if (!Value(t[2 + 2 * k], &v[k])) return false;
          if (k < 3 && t[3 + 2 * k].kind != Token::Comma) return false;
        }
        d.x = v[0], d.y = v[1], d.cx = v[2], d.cy = v[3];
        out_.dialogs.push_back(d);
        dialog_ = true;
        inBlock_ = false;
        return true;
      }
      return false;
    }
    if (!inBlock_) {
      if (w == "STYLE") {
        Styles st;
        if (!ReadStyles(t, 1, &st)) return false;
        out_.dialogs.back().hasCaption = st.Has("WS_CAPTION");
        out_.dialogs.back().sysMenu = st.Has("WS_SYSMENU");
        out_.dialogs.back().modalFrame = st.Has("DS_MODALFRAME");
        return true;
      }
      if (w == "CAPTION") {
        if (t.size() != 2 || t[1].kind != Token::String) return false;
        out_.dialogs.back().caption = Utf8ToWide(t[1].text);
        return true;
      }
      if (w == "FONT") {
        if (t.size() < 4 || t[1].kind != Token::Number || t[3].kind != Token::String) return false;
        out_.dialogs.back().pointSize = static_cast<int>(t[1].value);
        out_.dialogs.back().font = Utf8ToWide(t[3].text);
        return true;
      }
      if (w == "BEGIN") {
        inBlock_ = true;
        return true;
      }
      return false;
    }
    if (w == "END") {
      dialog_ = false;
      inBlock_ = false;
      return true;
    }
    return ControlLine(t);
  }

  bool ControlLine(const std::vector<Token>& t) {
    const std::string& w = t[0].text;
    ControlTemplate c;
    size_t i = 1;
    bool hasText = true;
    if (w == "PUSHBUTTON") {
      c.kind = ControlKind::PushButton;
      c.tabStop = true;
    } else if (w == "DEFPUSHBUTTON") {
      c.kind = ControlKind::DefPushButton;
      c.tabStop = true;
    } else if (w == "LTEXT" || w == "CTEXT" || w == "RTEXT") {
      c.kind = ControlKind::Label;
      c.align = w == "LTEXT"   ? TextAlign::Left
                : w == "CTEXT" ? TextAlign::Center
                               : TextAlign::Right;
    } else if (w == "GROUPBOX") {
      c.kind = ControlKind::GroupBox;
    } else if (w == "COMBOBOX") {
      c.kind = ControlKind::ComboBox;
      hasText = false;
    } else {
      return false;
    }
    if (hasText) {
      if (i + 1 >= t.size() || t[i].kind != Token::String || t[i + 1].kind != Token::Comma)
        return false;
      c.text = Utf8ToWide(t[i].text);
      i += 2;
    }
    long v[5];
    for (int k = 0; k < 5; ++k) {
      if (i >= t.size() || !Value(t[i], &v[k])) return false;
      ++i;
      if (k < 4) {
        if (i >= t.size() || t[i].kind != Token::Comma) return false;
        ++i;
      }
    }
    c.id = static_cast<int>(v[0]);
    c.x = v[1], c.y = v[2], c.cx = v[3], c.cy = v[4];
    if (i < t.size()) {
      if (t[i].kind != Token::Comma) return false;
      Styles st;
      if (!ReadStyles(t, i + 1, &st)) return false;
      if (st.Removed("WS_VISIBLE")) c.visible = false;
      if (st.Has("WS_DISABLED")) c.disabled = true;
      if (st.Has("WS_TABSTOP")) c.tabStop = true;
      if (st.Removed("WS_TABSTOP")) c.tabStop = false;
      if (st.Has("WS_VSCROLL")) c.vscroll = true;
      if (st.Has("CBS_SORT")) c.sorted = true;
    }
    out_.dialogs.back().controls.push_back(c);
    return true;
  }

  ResourceScript& out_;
  std::map<std::string, long> defines_;
  bool dialog_ = false;  // inside a dialog statement: the last of out_.dialogs
  bool inBlock_ = false;
};

}  // namespace

ResourceScript ParseResourceScript(const std::string& text) {
  ResourceScript out;
  Parser p(out);
  p.Feed(text, "script");
  return out;
}

const DialogTemplate* FindDialogTemplate(int templateId) {
  static const ResourceScript script = ParseResourceScript(EmbeddedResourceScript());
  for (const auto& d : script.dialogs)
    if (d.id == templateId) return &d;
  return nullptr;
}

}  // namespace platform

namespace platform {

const std::string* FindIconResource(int iconId) {
  static const ResourceScript script = ParseResourceScript(EmbeddedResourceScript());
  for (const auto& [id, file] : script.icons)
    if (id == iconId) return EmbeddedResourceFile(file);
  return nullptr;
}

}  // namespace platform
