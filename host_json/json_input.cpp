#include "json_input.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

#include "json_types.h"

namespace apartado::host_json {
namespace {

// nlohmann's messages start with "[json.exception.parse_error.101] "; what
// follows already names the line and column.
std::string WithoutExceptionTag(const std::string& what) {
  std::size_t close = what.find("] ");
  return what.rfind("[json.exception", 0) == 0 && close != std::string::npos ? what.substr(close + 2) : what;
}

bool IsBlank(const std::string& text) { return text.find_first_not_of(" \t\r\n") == std::string::npos; }

// Notes, while nlohmann's parser reads a document, the first key an object
// gives twice (the parser itself would keep the last value silently).
class DuplicateKeys {
 public:
  // The callback for Json::parse. Copies share what they note.
  Json::parser_callback_t Callback() {
    return [this](int, Json::parse_event_t event, Json& parsed) {
      switch (event) {
        case Json::parse_event_t::object_start:
        case Json::parse_event_t::array_start:
          CountElement();
          frames_.push_back({event == Json::parse_event_t::array_start, 0, "", {}});
          break;
        case Json::parse_event_t::object_end:
        case Json::parse_event_t::array_end:
          if (!frames_.empty()) frames_.pop_back();
          break;
        case Json::parse_event_t::key:
          Key(parsed.get<std::string>());
          break;
        case Json::parse_event_t::value:
          CountElement();
          break;
      }
      return true;
    };
  }
  // Throws InputError "WHERE: the key "K" is given twice (at /pointer)" if
  // one was noted.
  void Refuse(const std::string& where) const {
    if (!duplicate_.empty())
      throw InputError(where + ": the key \"" + duplicateKey_ + "\" is given twice (at " + duplicate_ + ")");
  }

 private:
  struct Frame {
    bool array;
    std::size_t elements;
    std::string key;
    std::set<std::string> keys;
  };
  void CountElement() {
    if (!frames_.empty() && frames_.back().array) ++frames_.back().elements;
  }
  void Key(const std::string& key) {
    Frame& frame = frames_.back();
    frame.key = key;
    if (frame.keys.insert(key).second || !duplicate_.empty()) return;
    duplicateKey_ = key;
    for (const Frame& f : frames_) duplicate_ += "/" + (f.array ? std::to_string(f.elements - 1) : Pointer(f.key));
  }
  // A key as a JSON pointer step writes it.
  static std::string Pointer(const std::string& key) {
    std::string step;
    for (const char c : key) step += c == '~' ? "~0" : c == '/' ? "~1" : std::string(1, c);
    return step;
  }

  std::vector<Frame> frames_;
  std::string duplicate_, duplicateKey_;
};

// Parses a document, refusing a key given twice in one object.
Json ParseWithoutDuplicates(const std::string& text, const std::string& where) {
  DuplicateKeys duplicates;
  Json value = Json::parse(text, duplicates.Callback());
  duplicates.Refuse(where);
  return value;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

}  // namespace

std::string ReadInput(const std::string& path, std::istream& in) {
  if (path == "-") return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) throw InputError(path + ": is a directory, not a file");
  errno = 0;
  std::ifstream file(path, std::ios::binary);
  if (!file) throw InputError(path + ": cannot open the file: " + std::strerror(errno != 0 ? errno : ENOENT));
  std::string text;
  char buffer[1 << 16];
  do {
    file.read(buffer, sizeof buffer);
    text.append(buffer, static_cast<std::size_t>(file.gcount()));
  } while (file);
  if (file.bad()) throw InputError(path + ": cannot read the file: " + std::strerror(errno != 0 ? errno : EIO));
  return text;
}

Json ParseDocument(const std::string& text, const std::string& name) {
  try {
    return ParseWithoutDuplicates(text, name);
  } catch (const Json::exception& e) {  // a parse error, or a number beyond a double (out_of_range)
    throw InputError(name + ": malformed JSON: " + WithoutExceptionTag(e.what()));
  }
}

std::vector<InputValue> ParseObjects(const std::string& text, const std::string& name) {
  DuplicateKeys duplicates;
  Json document = Json::parse(text, duplicates.Callback(), /*allow_exceptions=*/false);
  if (!document.is_discarded()) {
    duplicates.Refuse(name);
    std::vector<InputValue> values;
    if (document.is_array()) {
      for (Json& element : document) values.push_back({std::move(element), 0});
    } else {
      values.push_back({std::move(document), 0});
    }
    return values;
  }

  // Not one document: JSON Lines when its first non-blank line holds a
  // complete value by itself; otherwise report the document's own fault.
  std::vector<std::string> lines = SplitLines(text);
  std::size_t first = 0;
  while (first < lines.size() && IsBlank(lines[first])) ++first;
  if (first == lines.size() || Json::parse(lines[first], nullptr, false).is_discarded()) {
    ParseDocument(text, name);  // throws with the line and column
  }
  std::vector<InputValue> values;
  for (std::size_t i = first; i < lines.size(); ++i) {
    if (IsBlank(lines[i])) continue;
    const int lineNumber = static_cast<int>(i) + 1;
    const std::string where = name + ": input line " + std::to_string(lineNumber);
    try {
      values.push_back({ParseWithoutDuplicates(lines[i], where), lineNumber});
    } catch (const Json::exception& e) {
      throw InputError(name + ": input line " + std::to_string(lineNumber) +
                       ": malformed JSON: " + WithoutExceptionTag(e.what()));
    }
  }
  return values;
}

}  // namespace apartado::host_json
