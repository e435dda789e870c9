#include "json_input.h"

#include <fstream>
#include <iterator>
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

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

}  // namespace

std::string ReadInput(const std::string& path, std::istream& in) {
  if (path == "-") return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  std::ifstream file(path, std::ios::binary);
  if (!file) throw InputError(path + ": cannot open the file");
  std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (file.bad()) throw InputError(path + ": cannot read the file");
  return text;
}

Json ParseDocument(const std::string& text, const std::string& name) {
  try {
    return Json::parse(text);
  } catch (const Json::parse_error& e) {
    throw InputError(name + ": malformed JSON: " + WithoutExceptionTag(e.what()));
  }
}

std::vector<InputValue> ParseObjects(const std::string& text, const std::string& name) {
  Json document = Json::parse(text, nullptr, /*allow_exceptions=*/false);
  if (!document.is_discarded()) {
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
    try {
      values.push_back({Json::parse(lines[i]), lineNumber});
    } catch (const Json::parse_error& e) {
      throw InputError(name + ": input line " + std::to_string(lineNumber) +
                       ": malformed JSON: " + WithoutExceptionTag(e.what()));
    }
  }
  return values;
}

}  // namespace apartado::host_json
