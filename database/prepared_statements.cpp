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
    BindKind Kind = BindKind::Null;
    std::string Text;
    long long Whole = 0;
    double Real = 0;
    std::tm DateTime{};
    soci::indicator Indicator = soci::i_ok;
  };

  std::uint64_t Id = 0;             // never given to another statement of this cache
  std::vector<std::size_t> Params;  // occurrence -> parameter index
  std::vector<Slot> Slots;          // sized once: the use elements hold addresses into it
  soci::row Row;
  std::unique_ptr<soci::statement> Statement;
  bool RealsAsText = false;

  // Appends the values bound, exactly as the database receives them.
  void AppendBoundKey(std::string& key) const {
    for (const Slot& s : Slots) {
      key += static_cast<char>(s.Kind);
      switch (s.Kind) {
        case BindKind::Text: {
          const std::size_t size = s.Text.size();
          AppendBytes(key, &size, sizeof size);
          key += s.Text;
          break;
        }
        case BindKind::Whole:
          AppendBytes(key, &s.Whole, sizeof s.Whole);
          break;
        case BindKind::Real:
          AppendBytes(key, &s.Real, sizeof s.Real);
          break;
        case BindKind::Date:
          for (const int part : {s.DateTime.tm_year, s.DateTime.tm_mon, s.DateTime.tm_mday, s.DateTime.tm_hour,
                                 s.DateTime.tm_min, s.DateTime.tm_sec})
            AppendBytes(key, &part, sizeof part);
          break;
        case BindKind::Null:
          break;
      }
    }
  }

  void Fill(const std::vector<Variant>& params) {
    for (std::size_t k = 0; k < Slots.size(); ++k) {
      const Variant& v = params[Params[k]];
      Slot& s = Slots[k];
      switch (s.Kind) {
        case BindKind::Text:
          s.Text = v.ToText();
          break;
        case BindKind::Whole:
          s.Whole = v.GetKind() == Variant::Kind::Boolean ? static_cast<long long>(v.ToBoolean()) : v.ToLong();
          break;
        case BindKind::Real:
          s.Real = v.ToDouble();
          if (RealsAsText) s.Text = ShortestText(s.Real);
          break;
        case BindKind::Date:
          s.DateTime = ToTm(v.ToDate());
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
  entry->RealsAsText = realsAsText_;
  entry->Id = ++lastId_;
  entry->Params = std::move(numbered.Params);
  entry->Slots.resize(entry->Params.size());
  entry->Statement = std::make_unique<soci::statement>(session_);
  soci::statement& st = *entry->Statement;
  for (std::size_t k = 0; k < entry->Slots.size(); ++k) {
    Entry::Slot& s = entry->Slots[k];
    s.Kind = KindOf(params[entry->Params[k]]);
    switch (s.Kind) {
      case BindKind::Text:
        st.exchange(soci::use(s.Text, s.Indicator));
        break;
      case BindKind::Whole:
        st.exchange(soci::use(s.Whole, s.Indicator));
        break;
      case BindKind::Real:
        if (realsAsText_)
          st.exchange(soci::use(s.Text, s.Indicator));
        else
          st.exchange(soci::use(s.Real, s.Indicator));
        break;
      case BindKind::Date:
        st.exchange(soci::use(s.DateTime, s.Indicator));
        break;
      case BindKind::Null:
        s.Indicator = soci::i_null;
        st.exchange(soci::use(s.Text, s.Indicator));
        break;
    }
  }
  if (answersRows) st.exchange(soci::into(entry->Row));
  Diagnosed(odbc_, st, [&] {
    st.alloc();
    st.prepare(numbered.Sql);
    st.define_and_bind();
  });
  return *entries_.emplace(key, std::move(entry)).first->second;
}

TableRecordset PreparedStatements::Query(const std::string& sql, const std::vector<Variant>& params) {
  std::string key = KeyOf(sql, params, true);
  try {
    Entry& entry = Prepared(key, sql, params, true);
    entry.Fill(params);
    if (odbc_) OdbcCloseCursor(*entry.Statement);
    TableRecordset rows = Diagnosed(odbc_, *entry.Statement, [&] { return ReadAll(*entry.Statement, entry.Row); });
    if (odbc_) OdbcCloseCursor(*entry.Statement);
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
    if (odbc_) OdbcCloseCursor(*entry.Statement);
    // The statement by its number, which stands for its text and its
    // parameters' kinds (a short key hashes fast), then the values bound.
    std::string answerKey(reinterpret_cast<const char*>(&entry.Id), sizeof entry.Id);
    entry.AppendBoundKey(answerKey);
    const TableRecordset* kept = answers.Find(answerKey, table, scope);
    if (kept != nullptr) {
      answers.CountGiven();
      return *kept;
    }
    const AnswerCache::Stamp stamp = answers.StampOf(table, scope);
    TableRecordset rows = Diagnosed(odbc_, *entry.Statement, [&] { return ReadAll(*entry.Statement, entry.Row); });
    if (odbc_) OdbcCloseCursor(*entry.Statement);
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
    if (odbc_) OdbcCloseCursor(*entry.Statement);
    Diagnosed(odbc_, *entry.Statement, [&] { entry.Statement->execute(true); });
    return entry.Statement->get_affected_rows();
  } catch (const soci::soci_error&) {
    entries_.erase(key);
    throw;
  }
}

}  // namespace apartado
