#include "data/statement_text.h"

#include <cctype>
#include <string>

#include "apartado/failure.h"

namespace apartado {
namespace {

bool IsWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// Length of the PostgreSQL dollar-quote tag ("$$" or "$name$") starting at i, or 0.
std::size_t DollarTagLength(std::string_view text, std::size_t i) {
  if (text[i] != '$') return 0;
  if (i > 0 && (IsWordChar(text[i - 1]) || text[i - 1] == '$')) return 0;
  std::size_t j = i + 1;
  if (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) return 0;  // $1 is a parameter
  while (j < text.size() && IsWordChar(text[j])) ++j;
  if (j < text.size() && text[j] == '$') return j - i + 1;
  return 0;
}

// When a quoted text or a comment starts at i, the position just after it
// (the end of the text when it is not closed); otherwise i.
std::size_t SkipQuotedOrComment(std::string_view text, std::size_t i) {
  const char c = text[i];
  const char next = i + 1 < text.size() ? text[i + 1] : '\0';
  if (c == '\'' || c == '"') {
    // A doubled quote inside is part of the text: the loop just reopens it.
    std::size_t close = text.find(c, i + 1);
    return close == std::string_view::npos ? text.size() : close + 1;
  }
  if (c == '-' && next == '-') {
    std::size_t end = text.find('\n', i + 2);
    return end == std::string_view::npos ? text.size() : end + 1;
  }
  if (c == '/' && next == '*') {
    std::size_t end = text.find("*/", i + 2);
    return end == std::string_view::npos ? text.size() : end + 2;
  }
  if (const std::size_t tag = DollarTagLength(text, i); tag > 0) {
    std::size_t end = text.find(text.substr(i, tag), i + tag);
    return end == std::string_view::npos ? text.size() : end + tag;
  }
  return i;
}

bool IsBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// True when only blanks and comments lie in text[from, to).
bool OnlyBlanksAndComments(std::string_view text, std::size_t from, std::size_t to) {
  std::size_t i = from;
  while (i < to) {
    if (IsBlank(text[i])) {
      ++i;
      continue;
    }
    const bool comment = text.compare(i, 2, "--") == 0 || text.compare(i, 2, "/*") == 0;
    if (!comment) return false;
    i = SkipQuotedOrComment(text, i);
  }
  return true;
}

}  // namespace

bool HasSecondStatement(std::string_view text) {
  std::size_t i = 0;
  bool seenSeparator = false;
  while (i < text.size()) {
    const std::size_t after = SkipQuotedOrComment(text, i);
    if (after != i) {
      const bool comment = text[i] == '-' || text[i] == '/';
      if (seenSeparator && !comment) return true;
      i = after;
      continue;
    }
    if (text[i] == ';')
      seenSeparator = true;
    else if (seenSeparator && !IsBlank(text[i]))
      return true;
    ++i;
  }
  return false;
}

bool AnswersRows(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    if (IsBlank(text[i]) || text[i] == '(') {
      ++i;
      continue;
    }
    const std::size_t after = SkipQuotedOrComment(text, i);
    if (after == i || (text[i] != '-' && text[i] != '/')) break;
    i = after;
  }
  std::string word;
  while (i < text.size() && IsWordChar(text[i]))
    word += static_cast<char>(std::toupper(static_cast<unsigned char>(text[i++])));
  static const char* const kRowWords[] = {"SELECT", "WITH", "VALUES", "TABLE", "SHOW", "EXPLAIN", "PRAGMA"};
  for (const char* w : kRowWords)
    if (word == w) return true;
  return false;
}

std::vector<std::string> SplitScript(std::string_view script) {
  std::vector<std::string> statements;
  std::size_t start = 0;
  std::size_t i = 0;
  auto flush = [&](std::size_t end) {
    if (!OnlyBlanksAndComments(script, start, end)) statements.emplace_back(script.substr(start, end - start));
  };
  while (i < script.size()) {
    const std::size_t after = SkipQuotedOrComment(script, i);
    if (after != i) {
      i = after;
      continue;
    }
    if (script[i] == ';') {
      flush(i);
      start = i + 1;
    }
    ++i;
  }
  flush(script.size());
  return statements;
}

NumberedPlaceholders NumberPlaceholders(std::string_view sql, std::size_t paramCount) {
  NumberedPlaceholders out;
  out.Sql.reserve(sql.size() + 8);
  std::size_t i = 0;
  while (i < sql.size()) {
    const std::size_t after = SkipQuotedOrComment(sql, i);
    if (after != i) {
      out.Sql.append(sql.substr(i, after - i));
      i = after;
      continue;
    }
    // ":p<digits>" not part of a "::" cast and not followed by more of a word.
    const bool colon = sql[i] == ':' && (i == 0 || sql[i - 1] != ':');
    if (colon && i + 2 < sql.size() && (sql[i + 1] == 'p' || sql[i + 1] == 'P') &&
        std::isdigit(static_cast<unsigned char>(sql[i + 2]))) {
      std::size_t j = i + 2;
      std::size_t number = 0;
      while (j < sql.size() && std::isdigit(static_cast<unsigned char>(sql[j])))
        number = number * 10 + static_cast<std::size_t>(sql[j++] - '0');
      if (j >= sql.size() || !IsWordChar(sql[j])) {
        if (number < 1 || number > paramCount)
          throw Failure("Placeholder " + std::string(sql.substr(i, j - i)) +
                        " has no parameter: " + std::to_string(paramCount) + " given");
        out.Params.push_back(number - 1);
        out.Sql += ":b" + std::to_string(out.Params.size());
        i = j;
        continue;
      }
    }
    out.Sql += sql[i++];
  }
  return out;
}

}  // namespace apartado
