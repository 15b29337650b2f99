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

void append_id(std::string& line, std::uint64_t id) {
  line += '"';
  append_uint(line, id);
  line += '"';
}

void append_bool(std::string& line, bool value) { line += value ? "true" : "false"; }

void append_optional_string(std::string& line, const std::optional<std::string>& text) {
  if (text) {
    append_string(line, *text);
  } else {
    line += "null";
  }
}

bool valid(const std::optional<std::string>& text) { return !text || is_valid_utf8(*text); }

// Keys are constant ASCII and need no escaping, so each record is written as literal key text
// between its values.
struct Writer {
  std::string& line;

  bool operator()(const Ready& r) {
    if (!is_valid_utf8(r.persona)) return false;
    line += R"({"type":"ready","steamId":)";
    append_id(line, r.steamId);
    line += R"(,"persona":)";
    append_string(line, r.persona);
    line += '}';
    return true;
  }

  bool operator()(const State& s) {
    if (!valid(s.folder)) return false;
    line += R"({"type":"state","workshopId":)";
    append_id(line, s.workshopId);
    line += R"(,"subscribed":)";
    append_bool(line, s.subscribed);
    line += R"(,"installed":)";
    append_bool(line, s.installed);
    line += R"(,"needsUpdate":)";
    append_bool(line, s.needsUpdate);
    line += R"(,"downloading":)";
    append_bool(line, s.downloading);
    line += R"(,"folder":)";
    append_optional_string(line, s.folder);
    line += R"(,"sizeOnDisk":)";
    append_uint(line, s.sizeOnDisk);
    line += R"(,"timestamp":)";
    append_uint(line, s.timestamp);
    line += '}';
    return true;
  }

  bool operator()(const Progress& p) {
    line += R"({"type":"progress","workshopId":)";
    append_id(line, p.workshopId);
    line += R"(,"bytesDone":)";
    append_uint(line, p.bytesDone);
    line += R"(,"bytesTotal":)";
    append_uint(line, p.bytesTotal);
    line += '}';
    return true;
  }

  bool operator()(const Installed& i) {
    if (!is_valid_utf8(i.folder)) return false;
    line += R"({"type":"installed","workshopId":)";
    append_id(line, i.workshopId);
    line += R"(,"folder":)";
    append_string(line, i.folder);
    line += '}';
    return true;
  }

  bool operator()(const Done&) {
    line += R"({"type":"done"})";
    return true;
  }

  bool operator()(const Error& e) {
    if (!is_valid_utf8(e.message) || !valid(e.workshopId)) return false;
    line += R"({"type":"error","code":)";
    append_string(line, error_code_text(e.code));
    line += R"(,"message":)";
    append_string(line, e.message);
    line += R"(,"workshopId":)";
    append_optional_string(line, e.workshopId);
    line += '}';
    return true;
  }
};

}  // namespace

bool serialise_event(const Event& event, std::string& line) { return std::visit(Writer{line}, event); }

}  // namespace quennet
