#include "database/prepared_statements.h"

#include <soci/soci.h>

#include <charconv>
#include <cstdint>
#include <ctime>

#include "apartado/failure.h"
#include "database/odbc_direct.h"
#include "database/soci_results.h"
#include "database/statement_analysis.h"

namespace apartado {
namespace {

// How a parameter is bound: its SOCI type, or NULL.
enum class BindKind : char { Text = 'T', Whole = 'W', Real = 'R', Date = 'D', Null = 'N' };

BindKind KindOf(const Variant& v) {
  switch (v.GetKind()) {
    case Variant::Kind::Empty:
    case Variant::Kind::Null:
      return BindKind::Null;
    case Variant::Kind::Boolean:
    case Variant::Kind::Integer:
    case Variant::Kind::Long:
      return BindKind::Whole;
    case Variant::Kind::Double:
      return BindKind::Real;
    case Variant::Kind::Date:
      return BindKind::Date;
    case Variant::Kind::Text:
      return BindKind::Text;
  }
  return BindKind::Null;
}

std::tm ToTm(Date d) {
  const DateParts p = SplitDate(d);
  std::tm t{};
  t.tm_year = p.year - 1900;
  t.tm_mon = p.month - 1;
  t.tm_mday = p.day;
  t.tm_hour = p.hour;
  t.tm_min = p.minute;
  t.tm_sec = p.second;
  t.tm_isdst = -1;
  return t;
}

constexpr std::size_t kMaxStatements = 512;

void AppendBytes(std::string& out, const void* data, std::size_t size) {
  out.append(static_cast<const char*>(data), size);
}

// The shortest text that reads back as the same double: 0.1 is "0.1".
std::string ShortestText(double value) {
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, value).ptr;
  return std::string(text, end);
}

// Runs what executes the statement: on ODBC an error SOCI raised without the
// driver's diagnostic gets it (RethrowWithDiagnostic).
template <typename Run>
auto Diagnosed(bool odbc, soci::statement& statement, Run run) -> decltype(run()) {
  try {
    return run();
  } catch (const soci::soci_error& e) {
    if (odbc) RethrowWithDiagnostic(statement, e);
    throw;
  }
}

}  // namespace

// The storage a statement's use elements point at: one slot per placeholder
// occurrence, filled before each execution.
struct PreparedStatements::Entry {
  struct Slot {
    BindKind kind = BindKind::Null;
    std::string text;
    long long whole = 0;
    double real = 0;
    std::tm dateTime{};
    soci::indicator indicator = soci::i_ok;
  };

  std::uint64_t id = 0;                       // never given to another statement of this cache
  std::vector<std::size_t> occurrenceParams;  // occurrence -> parameter index
  std::vector<Slot> slots;                    // sized once: the use elements hold addresses into it
  soci::row row;
  std::unique_ptr<soci::statement> statement;
  bool realsAsText = false;

  // Appends the values bound, exactly as the database receives them.
  void AppendBoundKey(std::string& key) const {
    for (const Slot& s : slots) {
      key += static_cast<char>(s.kind);
      switch (s.kind) {
        case BindKind::Text: {
          const std::size_t size = s.text.size();
          AppendBytes(key, &size, sizeof size);
          key += s.text;
          break;
        }
        case BindKind::Whole:
          AppendBytes(key, &s.whole, sizeof s.whole);
          break;
        case BindKind::Real:
          AppendBytes(key, &s.real, sizeof s.real);
          break;
        case BindKind::Date:
          for (const int part : {s.dateTime.tm_year, s.dateTime.tm_mon, s.dateTime.tm_mday, s.dateTime.tm_hour,
                                 s.dateTime.tm_min, s.dateTime.tm_sec})
            AppendBytes(key, &part, sizeof part);
          break;
        case BindKind::Null:
          break;
      }
    }
  }

  void Fill(const std::vector<Variant>& params) {
    for (std::size_t k = 0; k < slots.size(); ++k) {
      const Variant& v = params[occurrenceParams[k]];
      Slot& s = slots[k];
      switch (s.kind) {
        case BindKind::Text:
          s.text = v.ToText();
          break;
        case BindKind::Whole:
          s.whole = v.GetKind() == Variant::Kind::Boolean ? static_cast<long long>(v.ToBoolean()) : v.ToLong();
          break;
        case BindKind::Real:
          s.real = v.ToDouble();
          if (realsAsText) s.text = ShortestText(s.real);
          break;
        case BindKind::Date:
          s.dateTime = ToTm(v.ToDate());
          break;
        case BindKind::Null:
          break;
      }
    }
  }
};

PreparedStatements::PreparedStatements(soci::session& session, bool realsAsText)
    : session_(session), realsAsText_(realsAsText) {}
PreparedStatements::~PreparedStatements() = default;

void PreparedStatements::Clear() { entries_.clear(); }

std::string PreparedStatements::KeyOf(const std::string& sql, const std::vector<Variant>& params, bool answersRows) {
  std::string key;
  key.reserve(params.size() + sql.size() + 2);
  key += answersRows ? 'Q' : 'C';
  for (const Variant& v : params) key += static_cast<char>(KindOf(v));
  key += '\n';
  key += sql;
  return key;
}

PreparedStatements::Entry& PreparedStatements::Prepared(const std::string& key, const std::string& sql,
                                                        const std::vector<Variant>& params, bool answersRows) {
  auto found = entries_.find(key);
  if (found != entries_.end()) return *found->second;

  // Code that builds its SQL text on the fly would otherwise grow the cache
  // (and PostgreSQL's prepared statements) without end.
  if (entries_.size() >= kMaxStatements) entries_.clear();
  NumberedPlaceholders numbered = NumberPlaceholders(sql, params.size());
  auto entry = std::make_unique<Entry>();
  entry->realsAsText = realsAsText_;
  entry->id = ++lastId_;
  entry->occurrenceParams = std::move(numbered.params);
  entry->slots.resize(entry->occurrenceParams.size());
  entry->statement = std::make_unique<soci::statement>(session_);
  soci::statement& st = *entry->statement;
  for (std::size_t k = 0; k < entry->slots.size(); ++k) {
    Entry::Slot& s = entry->slots[k];
    s.kind = KindOf(params[entry->occurrenceParams[k]]);
    switch (s.kind) {
      case BindKind::Text:
        st.exchange(soci::use(s.text, s.indicator));
        break;
      case BindKind::Whole:
        st.exchange(soci::use(s.whole, s.indicator));
        break;
      case BindKind::Real:
        if (realsAsText_)
          st.exchange(soci::use(s.text, s.indicator));
        else
          st.exchange(soci::use(s.real, s.indicator));
        break;
      case BindKind::Date:
        st.exchange(soci::use(s.dateTime, s.indicator));
        break;
      case BindKind::Null:
        s.indicator = soci::i_null;
        st.exchange(soci::use(s.text, s.indicator));
        break;
    }
  }
  if (answersRows) st.exchange(soci::into(entry->row));
  Diagnosed(odbc_, st, [&] {
    st.alloc();
    st.prepare(numbered.sql);
    st.define_and_bind();
  });
  return *entries_.emplace(key, std::move(entry)).first->second;
}

TableRecordset PreparedStatements::Query(const std::string& sql, const std::vector<Variant>& params) {
  std::string key = KeyOf(sql, params, true);
  try {
    Entry& entry = Prepared(key, sql, params, true);
    entry.Fill(params);
    if (odbc_) OdbcCloseCursor(*entry.statement);
    TableRecordset rows = Diagnosed(odbc_, *entry.statement, [&] { return ReadAll(*entry.statement, entry.row); });
    if (odbc_) OdbcCloseCursor(*entry.statement);
    return rows;
  } catch (const soci::soci_error&) {
    entries_.erase(key);
    throw;
  }
}

TableRecordset PreparedStatements::CachedQuery(const std::string& sql, const std::vector<Variant>& params,
                                               AnswerCache& answers, const std::string& table,
                                               const AnswerCache::Scope& scope) {
  std::string key = KeyOf(sql, params, true);
  try {
    Entry& entry = Prepared(key, sql, params, true);
    entry.Fill(params);
    if (odbc_) OdbcCloseCursor(*entry.statement);
    // The statement by its number, which stands for its text and its
    // parameters' kinds (a short key hashes fast), then the values bound.
    std::string answerKey(reinterpret_cast<const char*>(&entry.id), sizeof entry.id);
    entry.AppendBoundKey(answerKey);
    const TableRecordset* kept = answers.Find(answerKey, table, scope);
    if (kept != nullptr) {
      answers.CountGiven();
      return *kept;
    }
    const AnswerCache::Stamp stamp = answers.StampOf(table, scope);
    TableRecordset rows = Diagnosed(odbc_, *entry.statement, [&] { return ReadAll(*entry.statement, entry.row); });
    if (odbc_) OdbcCloseCursor(*entry.statement);
    if (!scope.lockedRows || !rows.Eof()) answers.Keep(answerKey, stamp, rows);
    return rows;
  } catch (const soci::soci_error&) {
    entries_.erase(key);
    throw;
  }
}

long long PreparedStatements::Command(const std::string& sql, const std::vector<Variant>& params) {
  std::string key = KeyOf(sql, params, false);
  try {
    Entry& entry = Prepared(key, sql, params, false);
    entry.Fill(params);
    if (odbc_) OdbcCloseCursor(*entry.statement);
    Diagnosed(odbc_, *entry.statement, [&] { entry.statement->execute(true); });
    return entry.statement->get_affected_rows();
  } catch (const soci::soci_error&) {
    entries_.erase(key);
    throw;
  }
}

}  // namespace apartado
