#include "database/statement_analysis.h"

#include <algorithm>
#include <cctype>
#include <initializer_list>
#include <string>

#include "apartado/failure.h"

namespace apartado {
namespace {

// How one dialect writes quotes and comments.
struct Reading {
  bool nestedComments = false;    // /* /* */ */ is one comment
  bool lineEndsAtReturn = false;  // a lone CR ends a -- comment too
  bool escapeStrings = false;     // E'...' with backslash escapes
  bool dollarQuotes = false;      // $tag$...$tag$
  bool brackets = false;          // [name]
  bool doubledBrackets = false;   // ]] inside [name] stands for ]
  bool backticks = false;         // `name`
  bool dollarInWords = false;     // '$' continues a word (a$b$ is one name)
};

constexpr Reading kSqlite{false, false, false, false, true, false, true, true};
constexpr Reading kPostgres{true, true, true, true, false, false, false, true};
constexpr Reading kSqlServer{true, false, false, false, true, true, false, false};

const Reading& ReadingOf(SqlDialect dialect) {
  switch (dialect) {
    case SqlDialect::PostgreSQL:
      return kPostgres;
    case SqlDialect::SqlServer:
      return kSqlServer;
    case SqlDialect::SQLite:
      break;
  }
  return kSqlite;
}

bool IsWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// Whether c continues a name in the reading: bytes of UTF-8 letters do.
bool ContinuesWord(const Reading& r, char c) {
  return IsWordChar(c) || static_cast<unsigned char>(c) >= 0x80 || (r.dollarInWords && c == '$');
}

// Length of the PostgreSQL dollar-quote tag ("$$" or "$name$") starting at i, or 0.
std::size_t DollarTagLength(const Reading& r, std::string_view text, std::size_t i) {
  if (!r.dollarQuotes || text[i] != '$') return 0;
  if (i > 0 && ContinuesWord(r, text[i - 1])) return 0;
  std::size_t j = i + 1;
  if (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) return 0;  // $1 is a parameter
  while (j < text.size() && (IsWordChar(text[j]) || static_cast<unsigned char>(text[j]) >= 0x80)) ++j;
  if (j < text.size() && text[j] == '$') return j - i + 1;
  return 0;
}

// The end of a quoted text or name opened at i by `quote` (doubled inside,
// it stands for itself), or of the text when it is not closed.
std::size_t QuotedEnd(std::string_view text, std::size_t i, char quote, bool backslashEscapes) {
  std::size_t j = i + 1;
  while (j < text.size()) {
    if (backslashEscapes && text[j] == '\\') {
      j += 2;
    } else if (text[j] == quote) {
      if (j + 1 < text.size() && text[j + 1] == quote) {
        j += 2;
      } else {
        return j + 1;
      }
    } else {
      ++j;
    }
  }
  return text.size();
}

// The end of a block comment opened at i.
std::size_t CommentEnd(const Reading& r, std::string_view text, std::size_t i) {
  int depth = 0;
  std::size_t j = i;
  while (j + 1 < text.size()) {
    if (text[j] == '/' && text[j + 1] == '*' && (depth == 0 || r.nestedComments)) {
      ++depth;
      j += 2;
    } else if (text[j] == '*' && text[j + 1] == '/') {
      j += 2;
      if (--depth == 0) return j;
    } else {
      ++j;
    }
  }
  return text.size();
}

// When a quoted text or name or a comment starts at i, the position just
// after it (the end of the text when it is not closed); otherwise i.
std::size_t SkipQuotedOrComment(const Reading& r, std::string_view text, std::size_t i) {
  const char c = text[i];
  const char next = i + 1 < text.size() ? text[i + 1] : '\0';
  if (c == '\'' || c == '"' || (c == '`' && r.backticks)) return QuotedEnd(text, i, c, false);
  if (r.escapeStrings && (c == 'E' || c == 'e') && next == '\'' && (i == 0 || !ContinuesWord(r, text[i - 1])))
    return QuotedEnd(text, i + 1, '\'', true);
  if (c == '[' && r.brackets) {
    if (r.doubledBrackets) return QuotedEnd(text, i, ']', false);
    const std::size_t close = text.find(']', i + 1);
    return close == std::string_view::npos ? text.size() : close + 1;
  }
  if (c == '-' && next == '-') {
    const std::size_t end = text.find_first_of(r.lineEndsAtReturn ? "\n\r" : "\n", i + 2);
    return end == std::string_view::npos ? text.size() : end + 1;
  }
  if (c == '/' && next == '*') return CommentEnd(r, text, i);
  if (const std::size_t tag = DollarTagLength(r, text, i); tag > 0) {
    const std::size_t end = text.find(text.substr(i, tag), i + tag);
    return end == std::string_view::npos ? text.size() : end + tag;
  }
  return i;
}

bool IsComment(std::string_view text, std::size_t i) {
  return text.compare(i, 2, "--") == 0 || text.compare(i, 2, "/*") == 0;
}

bool IsBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// True when only blanks and comments lie in text[from, to).
bool OnlyBlanksAndComments(const Reading& r, std::string_view text, std::size_t from, std::size_t to) {
  std::size_t i = from;
  while (i < to) {
    if (IsBlank(text[i])) {
      ++i;
      continue;
    }
    if (!IsComment(text, i)) return false;
    i = SkipQuotedOrComment(r, text, i);
  }
  return true;
}

bool HasSecondStatementIn(const Reading& r, std::string_view text) {
  std::size_t i = 0;
  bool seenSeparator = false;
  while (i < text.size()) {
    const std::size_t after = SkipQuotedOrComment(r, text, i);
    if (after != i) {
      if (seenSeparator && !IsComment(text, i)) return true;
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

}  // namespace

bool HasSecondStatement(std::string_view text, SqlDialect dialect) {
  return HasSecondStatementIn(ReadingOf(dialect), text);
}

bool HasSecondStatement(std::string_view text) {
  for (const Reading* r : {&kSqlite, &kPostgres, &kSqlServer})
    if (HasSecondStatementIn(*r, text)) return true;
  return false;
}

bool AnswersRows(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    if (IsBlank(text[i]) || text[i] == '(') {
      ++i;
      continue;
    }
    if (!IsComment(text, i)) break;
    i = SkipQuotedOrComment(kSqlite, text, i);
  }
  std::string word;
  while (i < text.size() && IsWordChar(text[i]))
    word += static_cast<char>(std::toupper(static_cast<unsigned char>(text[i++])));
  static const char* const kRowWords[] = {"SELECT", "WITH", "VALUES", "TABLE", "SHOW", "EXPLAIN", "PRAGMA"};
  for (const char* w : kRowWords)
    if (word == w) return true;
  return false;
}

std::vector<std::string> SplitScript(std::string_view script, SqlDialect dialect) {
  const Reading& r = ReadingOf(dialect);
  std::vector<std::string> statements;
  std::size_t start = 0;
  std::size_t i = 0;
  auto flush = [&](std::size_t end) {
    if (!OnlyBlanksAndComments(r, script, start, end)) statements.emplace_back(script.substr(start, end - start));
  };
  while (i < script.size()) {
    const std::size_t after = SkipQuotedOrComment(r, script, i);
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
  out.sql.reserve(sql.size() + 8);
  std::size_t i = 0;
  while (i < sql.size()) {
    const std::size_t after = SkipQuotedOrComment(kSqlite, sql, i);
    if (after != i) {
      out.sql.append(sql.substr(i, after - i));
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
        out.params.push_back(number - 1);
        out.sql += ":b" + std::to_string(out.params.size());
        i = j;
        continue;
      }
    }
    out.sql += sql[i++];
  }
  return out;
}

namespace {

// How a token stands for a quoted text or name.
enum class Quoted {
  AsWritten,  // the whole quoted piece, quotes included
  AsMark,     // "'" for a quoted text of any kind, "\"" for a quoted name
};

// A piece of a statement's text outside comments, read in one dialect: a
// word (in upper case; bytes of UTF-8 letters continue it, and '$' where the
// dialect lets it), a quoted text or name, or one other character. At most
// `limit` of them.
std::vector<std::string> Tokens(const Reading& r, std::string_view text, Quoted quoted,
                                std::size_t limit = std::string_view::npos) {
  std::vector<std::string> tokens;
  std::size_t i = 0;
  while (i < text.size() && tokens.size() < limit) {
    const std::size_t after = SkipQuotedOrComment(r, text, i);
    if (after != i) {
      if (!IsComment(text, i))
        tokens.emplace_back(quoted == Quoted::AsWritten ? text.substr(i, after - i) : text[i] == '"' ? "\"" : "'");
      i = after;
    } else if (IsWordChar(text[i]) || static_cast<unsigned char>(text[i]) >= 0x80) {
      std::string word;
      while (i < text.size() && ContinuesWord(r, text[i]))
        word += static_cast<char>(std::toupper(static_cast<unsigned char>(text[i++])));
      tokens.push_back(std::move(word));
    } else {
      if (!IsBlank(text[i])) tokens.emplace_back(1, text[i]);
      ++i;
    }
  }
  return tokens;
}

bool IsName(const std::string& token) {
  return !token.empty() && IsWordChar(token[0]) && !std::isdigit(static_cast<unsigned char>(token[0]));
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The table an INSERT, REPLACE, UPDATE or DELETE starting at tokens[at]
// writes, with the position after its name; "" when it is not one of these
// or its target is not a plain name.
std::string WrittenTable(const std::vector<std::string>& tokens, std::size_t& at) {
  auto token = [&](std::size_t k) -> const std::string& {
    static const std::string none;
    return k < tokens.size() ? tokens[k] : none;
  };
  std::size_t k = at;
  const std::string& verb = token(k++);
  if (verb == "INSERT" || verb == "UPDATE") {
    if (token(k) == "OR") k += 2;  // OR REPLACE, OR IGNORE, ...
  } else if (verb != "REPLACE" && verb != "DELETE") {
    return "";
  }
  if (verb == "INSERT" || verb == "REPLACE") {
    if (token(k++) != "INTO") return "";
  } else if (verb == "DELETE") {
    if (token(k++) != "FROM") return "";
  }
  const std::string& name = token(k++);
  if (!IsName(name) || token(k) == ".") return "";
  at = k;
  return Lower(name);
}

}  // namespace

StatementEffect EffectOf(std::string_view text) {
  // Enough for "INSERT OR REPLACE INTO name ." after opening parentheses.
  const std::vector<std::string> tokens = Tokens(kSqlite, text, Quoted::AsWritten, 12);
  std::size_t first = 0;
  while (first < tokens.size() && tokens[first] == "(") ++first;
  if (first == tokens.size()) return {};
  const std::string& verb = tokens[first];
  if (verb == "SELECT" || verb == "VALUES" || verb == "EXPLAIN") return {StatementEffect::Kind::ReadsOnly, ""};
  std::string table = WrittenTable(tokens, first);
  if (table.empty()) return {};
  return {StatementEffect::Kind::Writes, std::move(table)};
}

std::string SingleTableRead(std::string_view text) {
  const std::vector<std::string> tokens = Tokens(kSqlite, text, Quoted::AsWritten);
  if (tokens.empty() || tokens[0] != "SELECT") return "";
  std::size_t from = 0;
  for (std::size_t k = 1; k < tokens.size(); ++k) {
    const std::string& t = tokens[k];
    if (t == "SELECT" || t == "JOIN" || t == "UNION" || t == "INTERSECT" || t == "EXCEPT" || t == "WITH") return "";
    if (t == "FROM") {
      if (from != 0) return "";
      from = k;
    }
  }
  if (from == 0 || from + 1 >= tokens.size() || !IsName(tokens[from + 1])) return "";
  if (from + 2 < tokens.size()) {
    const std::string& next = tokens[from + 2];
    if (next == "." || next == "," || next == "(") return "";
  }
  return Lower(tokens[from + 1]);
}

std::optional<std::vector<std::string>> TablesTriggerWrites(std::string_view triggerSql) {
  const std::vector<std::string> tokens = Tokens(kSqlite, triggerSql, Quoted::AsWritten);
  std::size_t k = 0;
  while (k < tokens.size() && tokens[k] != "BEGIN") ++k;
  if (k == tokens.size()) return std::nullopt;
  std::vector<std::string> written;
  // Each statement of the body starts after BEGIN or a ';'.
  bool statementStart = true;
  for (++k; k < tokens.size(); ++k) {
    const std::string& t = tokens[k];
    if (t == ";") {
      statementStart = true;
      continue;
    }
    if (!statementStart) continue;
    statementStart = false;
    if (t == "END" || t == "SELECT" || t == "VALUES") continue;
    std::size_t at = k;
    std::string table = WrittenTable(tokens, at);
    if (table.empty()) return std::nullopt;
    written.push_back(std::move(table));
  }
  return written;
}

namespace {

bool IsWord(const std::string& token) {
  return !token.empty() && (IsWordChar(token[0]) || static_cast<unsigned char>(token[0]) >= 0x80);
}

// A table's name as PostgreSQL folds it: ASCII letters, digits and '_' only,
// not starting with a digit.
bool IsPlainName(const std::string& token) {
  if (!IsName(token)) return false;
  for (const char c : token)
    if (!IsWordChar(c)) return false;
  return true;
}

bool OneOf(const std::string& word, std::initializer_list<std::string_view> words) {
  for (const std::string_view w : words)
    if (word == w) return true;
  return false;
}

}  // namespace

std::optional<std::vector<std::string>> TablesPlpgsqlWrites(std::string_view body) {
  // Changing the search path changes which table a name is.
  if (Lower(std::string(body)).find("search_path") != std::string::npos) return std::nullopt;
  const std::vector<std::string> tokens = Tokens(kPostgres, body, Quoted::AsMark);
  auto token = [&](std::size_t k) -> const std::string& {
    static const std::string none;
    return k < tokens.size() ? tokens[k] : none;
  };
  std::vector<std::string> written;
  // The table named at tokens[k] (after ONLY), kept; false when it is not a plain name.
  auto target = [&](std::size_t& k) {
    if (token(k) == "ONLY") ++k;
    if (!IsPlainName(token(k)) || token(k + 1) == ".") return false;
    std::string table = Lower(token(k));
    if (std::find(written.begin(), written.end(), table) == written.end()) written.push_back(std::move(table));
    return true;
  };
  for (std::size_t k = 0; k < tokens.size(); ++k) {
    const std::string& t = tokens[k];
    if (!IsWord(t)) continue;
    const std::string& previous = k > 0 ? tokens[k - 1] : token(tokens.size());
    const bool statementStart =
        k == 0 || OneOf(previous, {";", "BEGIN", "THEN", "ELSE", "LOOP", "DECLARE", "EXCEPTION"});
    // Statements whose effect is not told from their text.
    if (OneOf(t, {"EXECUTE", "CALL",     "COPY",    "TRUNCATE", "MERGE",   "CREATE", "ALTER",   "DROP",
                  "GRANT",   "REVOKE",   "COMMIT",  "ROLLBACK", "REFRESH", "IMPORT", "CLUSTER", "VACUUM",
                  "REINDEX", "SECURITY", "COMMENT", "REASSIGN", "DISCARD", "LOAD"}))
      return std::nullopt;
    if (t == "DO" && token(k + 1) == "'") return std::nullopt;  // an anonymous block
    if (statementStart && (t == "SET" || t == "RESET")) return std::nullopt;
    if (t == "INSERT") {
      if (token(k + 1) != "INTO") return std::nullopt;
      k += 2;
      if (!target(k)) return std::nullopt;
      continue;  // its column list is no call
    }
    if (t == "DELETE") {
      if (token(k + 1) != "FROM") return std::nullopt;
      k += 2;
      if (!target(k)) return std::nullopt;
      continue;
    }
    if (t == "UPDATE") {
      // A row lock (FOR UPDATE, FOR NO KEY UPDATE) or an upsert's (DO UPDATE).
      if (previous == "FOR" || previous == "KEY" || previous == "DO") continue;
      ++k;
      if (!target(k)) return std::nullopt;
      continue;
    }
    if (token(k + 1) != "(") continue;
    // A type's modifiers ("::numeric(20,6)", "AS numeric(20,6)").
    if (previous == ":" || previous == "AS") continue;
    if (previous == ".") return std::nullopt;  // a function named with its schema
    // Keywords a '(' may follow, and built-in functions that write nothing.
    if (OneOf(t, {"ALL",
                  "AND",
                  "ANY",
                  "ARRAY",
                  "AS",
                  "BETWEEN",
                  "BY",
                  "CASE",
                  "CAST",
                  "CONFLICT",
                  "DISTINCT",
                  "ELSE",
                  "ELSIF",
                  "EXISTS",
                  "EXTRACT",
                  "FILTER",
                  "FROM",
                  "HAVING",
                  "IF",
                  "IN",
                  "IS",
                  "JOIN",
                  "LIKE",
                  "NOT",
                  "ON",
                  "OR",
                  "OVER",
                  "PERFORM",
                  "QUERY",
                  "RETURN",
                  "ROW",
                  "SELECT",
                  "SET",
                  "SOME",
                  "THEN",
                  "USING",
                  "VALUES",
                  "WHEN",
                  "WHERE",
                  "WHILE",
                  "ABS",
                  "AVG",
                  "COALESCE",
                  "COUNT",
                  "GREATEST",
                  "LEAST",
                  "LOCALTIMESTAMP",
                  "LOCALTIME",
                  "CURRENT_SETTING",
                  "SET_CONFIG",
                  "MAX",
                  "MIN",
                  "NULLIF",
                  "ROUND",
                  "SUM",
                  "LOWER",
                  "UPPER"}))
      continue;
    return std::nullopt;
  }
  return written;
}

bool LocksRowsRead(std::string_view text) {
  const std::vector<std::string> tokens = Tokens(kPostgres, text, Quoted::AsMark);
  for (std::size_t k = 0; k + 1 < tokens.size(); ++k) {
    if (tokens[k] != "FOR") continue;
    const std::string& next = tokens[k + 1];
    if (next == "UPDATE" || next == "SHARE") return true;
    if (next == "NO" && k + 3 < tokens.size() && tokens[k + 2] == "KEY" && tokens[k + 3] == "UPDATE") return true;
  }
  return false;
}

namespace {

// Calls fn(word, before, next) for each word outside quotes and comments:
// before is the last character ahead of the word that is not blank, next
// the first after it and the blanks that follow ('\0' at the end). Stops
// when fn answers true, and answers whether it did.
template <typename Fn>
bool AnyWord(std::string_view text, Fn fn) {
  char before = ' ';
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t after = SkipQuotedOrComment(kSqlite, text, i);
    if (after != i) {
      before = text[i];
      i = after;
    } else if (IsWordChar(text[i])) {
      const std::size_t start = i;
      while (i < text.size() && IsWordChar(text[i])) ++i;
      std::size_t j = i;
      while (j < text.size() && IsBlank(text[j])) ++j;
      if (fn(text.substr(start, i - start), before, j < text.size() ? text[j] : '\0')) return true;
      before = text[i - 1];
    } else {
      if (!IsBlank(text[i])) before = text[i];
      ++i;
    }
  }
  return false;
}

bool SameWord(std::string_view word, std::string_view upper) {
  if (word.size() != upper.size()) return false;
  for (std::size_t k = 0; k < word.size(); ++k)
    if (std::toupper(static_cast<unsigned char>(word[k])) != upper[k]) return false;
  return true;
}

}  // namespace

char WriteEventsOf(std::string_view text) {
  const std::vector<std::string> tokens = Tokens(kSqlite, text, Quoted::AsWritten, 4);
  std::size_t first = 0;
  while (first < tokens.size() && tokens[first] == "(") ++first;
  if (first == tokens.size()) return kOnAnyWrite;
  const std::string& verb = tokens[first];
  const std::string& option = first + 2 < tokens.size() && tokens[first + 1] == "OR" ? tokens[first + 2] : "";
  if (option == "REPLACE") return kOnAnyWrite;  // conflicting rows are deleted first
  if (verb == "DELETE") return kOnDelete;
  if (verb == "UPDATE") return kOnUpdate;
  if (verb != "INSERT") return kOnAnyWrite;
  const bool upsert = AnyWord(text, [](std::string_view word, char, char) { return SameWord(word, "CONFLICT"); });
  return upsert ? kOnInsert | kOnUpdate : kOnInsert;
}

bool CallsUnknownFunction(std::string_view text) {
  // Keywords a '(' may follow, and built-in functions that write nothing.
  static const std::string_view kKnown[] = {"ALL",       "AND",      "ANY",
                                            "AS",        "BETWEEN",  "BY",
                                            "CASE",      "CONFLICT", "DISTINCT",
                                            "ELSE",      "EXISTS",   "FILTER",
                                            "FROM",      "HAVING",   "IN",
                                            "IS",        "JOIN",     "LIKE",
                                            "LIMIT",     "NOT",      "OFFSET",
                                            "ON",        "OR",       "OVER",
                                            "RETURNING", "ROW",      "SELECT",
                                            "SET",       "SOME",     "THEN",
                                            "USING",     "VALUES",   "WHEN",
                                            "WHERE",     "ABS",      "AVG",
                                            "CAST",      "HASHTEXT", "PG_ADVISORY_XACT_LOCK",
                                            "CEIL",      "COALESCE", "CONCAT",
                                            "COUNT",     "EXTRACT",  "FLOOR",
                                            "GETDATE",   "GREATEST", "IFNULL",
                                            "LEAST",     "LENGTH",   "LOWER",
                                            "LTRIM",     "MAX",      "MIN",
                                            "NOW",       "NULLIF",   "REPLACE",
                                            "ROUND",     "RTRIM",    "SUBSTR",
                                            "SUBSTRING", "SUM",      "TRIM",
                                            "TYPEOF",    "UPPER"};
  std::string_view previous;
  return AnyWord(text, [&](std::string_view word, char before, char next) {
    const std::string_view last = previous;
    previous = word;
    if (next != '(' || std::isdigit(static_cast<unsigned char>(word[0]))) return false;
    if (before == '.') return true;  // a function named with its schema
    // A type's modifiers ("::numeric(20,6)", "AS numeric(20,6)"), a table's column list.
    if (before == ':' || SameWord(last, "AS") || SameWord(last, "INTO") || SameWord(last, "TABLE")) return false;
    for (const std::string_view known : kKnown)
      if (SameWord(word, known)) return false;
    return true;
  });
}

}  // namespace apartado
