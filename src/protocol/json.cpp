#include "protocol/json.h"

#include <charconv>

#include "protocol/utf8.h"

namespace quennet {

namespace {

void append_uint(std::string& line, std::uint64_t value) {
  char digits[20];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  line.append(digits, static_cast<std::size_t>(end - digits));
}

// Escapes byte by byte: the two JSON specials, the five short control escapes, every other control
// byte as \u00xx. Everything else (the slash, DEL, all bytes from 0x80) passes unchanged.
void append_string(std::string& line, std::string_view text) {
  static constexpr char HEX[] = "0123456789abcdef";
  line += '"';
  std::size_t plain_from = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte >= 0x20 && byte != '"' && byte != '\\') continue;
    line.append(text.data() + plain_from, i - plain_from);
    plain_from = i + 1;
    switch (byte) {
      case '"': line += "\\\""; break;
      case '\\': line += "\\\\"; break;
      case 0x08: line += "\\b"; break;
      case 0x09: line += "\\t"; break;
      case 0x0A: line += "\\n"; break;
      case 0x0C: line += "\\f"; break;
      case 0x0D: line += "\\r"; break;
      default:
        line += "\\u00";
        line += HEX[byte >> 4];
        line += HEX[byte & 0xF];
    }
  }
  line.append(text.data() + plain_from, text.size() - plain_from);
  line += '"';
}

bool valid(const std::optional<std::string>& text) { return !text || is_valid_utf8(*text); }

// Keys are constant ASCII and need no escaping, so each record is written as literal key text
// between its values: every `key` below is the text before one value, up to its colon.
struct Writer {
  std::string& line;

  void id(const char* key, std::uint64_t value) {
    line += key;
    line += '"';
    append_uint(line, value);
    line += '"';
  }

  void number(const char* key, std::uint64_t value) {
    line += key;
    append_uint(line, value);
  }

  void flag(const char* key, bool value) {
    line += key;
    line += value ? "true" : "false";
  }

  void text(const char* key, std::string_view value) {
    line += key;
    append_string(line, value);
  }

  void text_or_null(const char* key, const std::optional<std::string>& value) {
    if (value) return text(key, *value);
    line += key;
    line += "null";
  }

  bool operator()(const Ready& r) {
    if (!is_valid_utf8(r.persona)) return false;
    id(R"({"type":"ready","steamId":)", r.steamId);
    text(R"(,"persona":)", r.persona);
    line += '}';
    return true;
  }

  bool operator()(const State& s) {
    if (!valid(s.folder)) return false;
    id(R"({"type":"state","workshopId":)", s.workshopId);
    flag(R"(,"subscribed":)", s.subscribed);
    flag(R"(,"installed":)", s.installed);
    flag(R"(,"needsUpdate":)", s.needsUpdate);
    flag(R"(,"downloading":)", s.downloading);
    text_or_null(R"(,"folder":)", s.folder);
    number(R"(,"sizeOnDisk":)", s.sizeOnDisk);
    number(R"(,"timestamp":)", s.timestamp);
    line += '}';
    return true;
  }

  bool operator()(const Progress& p) {
    id(R"({"type":"progress","workshopId":)", p.workshopId);
    number(R"(,"bytesDone":)", p.bytesDone);
    number(R"(,"bytesTotal":)", p.bytesTotal);
    line += '}';
    return true;
  }

  bool operator()(const Installed& i) {
    if (!is_valid_utf8(i.folder)) return false;
    id(R"({"type":"installed","workshopId":)", i.workshopId);
    text(R"(,"folder":)", i.folder);
    line += '}';
    return true;
  }

  bool operator()(const Done&) {
    line += R"({"type":"done"})";
    return true;
  }

  bool operator()(const Error& e) {
    if (!is_valid_utf8(e.message) || !valid(e.workshopId)) return false;
    text(R"({"type":"error","code":)", error_code_text(e.code));
    text(R"(,"message":)", e.message);
    text_or_null(R"(,"workshopId":)", e.workshopId);
    line += '}';
    return true;
  }
};

}  // namespace

bool serialise_event(const Event& event, std::string& line) { return std::visit(Writer{line}, event); }

}  // namespace quennet
