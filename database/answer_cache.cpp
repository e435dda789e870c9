#include "database/answer_cache.h"

#include <algorithm>
#include <cctype>
#include <string_view>
#include <utility>

#include "database/statement_analysis.h"

namespace apartado {
namespace {

// Answers kept at most; a look-up over a large catalogue starts over rather
// than growing without end.
constexpr std::size_t kMaxAnswers = 16384;

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// True when the text's first word is SELECT with only blanks before it: a
// query, told without reading the statement into tokens as EffectOf does
// (which answers ReadsOnly for it too).
bool PlainSelect(std::string_view sql) {
  constexpr std::string_view kSelect = "SELECT";
  std::size_t i = 0;
  while (i < sql.size() && std::isspace(static_cast<unsigned char>(sql[i]))) ++i;
  if (sql.size() - i < kSelect.size()) return false;
  for (const char expected : kSelect)
    if (std::toupper(static_cast<unsigned char>(sql[i++])) != expected) return false;
  return i == sql.size() || !(std::isalnum(static_cast<unsigned char>(sql[i])) || sql[i] == '_');
}

// The writes a trigger's events text names ("IUD"; null for any).
char EventsOfTrigger(const Variant& events) {
  if (events.IsNull() || events.IsEmpty()) return kOnAnyWrite;
  char mask = 0;
  for (const char c : events.ToText()) {
    if (c == 'I') mask |= kOnInsert;
    if (c == 'U') mask |= kOnUpdate;
    if (c == 'D') mask |= kOnDelete;
  }
  return mask;
}

}  // namespace

AnswerCache::AnswerCache(Lifetime lifetime, bool privateDatabase, VersionProbe probe, SchemaReader schema,
                         TableVersions tableVersions)
    : lifetime_(lifetime),
      private_(privateDatabase),
      probe_(std::move(probe)),
      readSchema_(std::move(schema)),
      readTableVersions_(std::move(tableVersions)) {}

std::string AnswerCache::KeepableTable(const std::string& sql) {
  if (auto known = keepable_.find(sql); known != keepable_.end()) return known->second;
  if (!schemaLoaded_) LoadSchema();
  std::string table = SingleTableRead(sql);
  // A server function it calls might write: such a query runs each time.
  if (!tables_.contains(table) || (lifetime_ == Lifetime::Transaction && CallsUnknownFunction(sql))) table.clear();
  keepable_.emplace(sql, table);
  return table;
}

bool AnswerCache::LocksRows(const std::string& sql) {
  if (auto known = locking_.find(sql); known != locking_.end()) return known->second;
  const bool locks = LocksRowsRead(sql);
  if (locking_.size() >= kMaxAnswers) locking_.clear();
  locking_.emplace(sql, locks);
  return locks;
}

void AnswerCache::Refresh(bool locked, std::uint64_t transaction) {
  if (lifetime_ == Lifetime::Transaction) {
    if (transaction == checkedTransaction_) return;
    if (!schemaLoaded_) LoadSchema();
    TransactionBegun(transaction, !versioned_.empty() && readTableVersions_ ? readTableVersions_() : TableRecordset());
    return;
  }
  if (private_) return;
  if (locked && checkedTransaction_ == transaction) return;
  const auto [data, schema] = probe_();
  if (dataVersion_ && *dataVersion_ != data) DropAll();
  if (schema != schemaVersion_) SchemaChanged();
  dataVersion_ = data;
  schemaVersion_ = schema;
  checkedTransaction_ = locked ? transaction : 0;
}

void AnswerCache::TransactionBegun(std::uint64_t transaction, TableRecordset versions) {
  // Answers of an earlier transaction are given again only by the table
  // versions read now: forget the others.
  std::erase_if(answers_,
                [&](const auto& kept) { return !kept.second.stamp.tableVersion || kept.second.stamp.epoch != epoch_; });
  tableVersions_.clear();
  for (; !versions.Eof(); versions.MoveNext()) {
    const std::string table = Lower(versions.Field("tbl_name").ToText());
    if (versioned_.contains(table))
      tableVersions_[table] = static_cast<std::int64_t>(versions.Field("version").ToDouble());
  }
  checkedTransaction_ = transaction;
}

const TableRecordset* AnswerCache::Find(const std::string& key, const std::string& table, const Scope& scope) const {
  const auto kept = answers_.find(key);
  if (kept == answers_.end()) return nullptr;
  const Stamp& stamp = kept->second.stamp;
  if (stamp.epoch != epoch_) return nullptr;
  if (stamp.transaction != 0 && stamp.transaction != scope.transaction) {
    // Read in an earlier transaction: only while its table's version is the same.
    if (!scope.laterTransactions || !stamp.tableVersion) return nullptr;
    const auto now = tableVersions_.find(table);
    if (now == tableVersions_.end() || now->second != *stamp.tableVersion) return nullptr;
  }
  const auto version = versions_.find(table);
  const std::uint64_t now = version == versions_.end() ? 0 : version->second;
  return stamp.version == now ? &kept->second.rows : nullptr;
}

AnswerCache::Stamp AnswerCache::StampOf(const std::string& table, const Scope& scope) const {
  const auto version = versions_.find(table);
  Stamp stamp{epoch_, version == versions_.end() ? 0 : version->second, scope.transaction, std::nullopt};
  if (const auto kept = tableVersions_.find(table); scope.laterTransactions && kept != tableVersions_.end())
    stamp.tableVersion = kept->second;
  return stamp;
}

void AnswerCache::Keep(const std::string& key, const Stamp& stamp, const TableRecordset& rows) {
  if (answers_.size() >= kMaxAnswers) answers_.clear();
  answers_.insert_or_assign(key, Kept{rows, stamp});
}

void AnswerCache::Ran(std::string_view sql) {
  if (lifetime_ == Lifetime::Transaction && CallsUnknownFunction(sql)) {
    // A server function may have written anything, the schema included.
    SchemaChanged();
    return;
  }
  if (PlainSelect(sql)) return;
  const StatementEffect effect = EffectOf(sql);
  switch (effect.kind) {
    case StatementEffect::Kind::ReadsOnly:
      return;
    case StatementEffect::Kind::Writes:
      Wrote(effect.table, sql);
      return;
    case StatementEffect::Kind::Unknown:
      // It may have changed anything, the schema included.
      SchemaChanged();
      return;
  }
}

void AnswerCache::SchemaChanged() {
  DropAll();
  schemaLoaded_ = false;
  keepable_.clear();
}

void AnswerCache::Wrote(const std::string& table, std::string_view sql) {
  if (!schemaLoaded_) LoadSchema();
  // Which writes the statement fires matters only where a trigger of the
  // table fires on some writes and not on others; reading them costs a pass
  // over the statement's text.
  char events = kOnAnyWrite;
  if (const auto own = triggers_.find(table); own != triggers_.end()) {
    for (const Trigger& trigger : own->second)
      if (trigger.events != kOnAnyWrite) events = WriteEventsOf(sql);
  }
  const auto reached = Reached(table, events);
  if (!reached) {
    DropAll();
    return;
  }
  for (const std::string& written : *reached) ++versions_[written];
}

std::optional<std::vector<std::string>> AnswerCache::Reached(const std::string& table, char events) {
  std::string memo = table;
  memo += events;
  if (const auto known = reached_.find(memo); known != reached_.end()) return known->second;
  // The table's triggers that these writes fire, then every trigger of the
  // tables they write (whatever a trigger's own statement does fires them).
  std::vector<std::string> reached = {table};
  std::vector<std::string> pending = {table};
  std::unordered_set<std::string> expanded;
  bool anything = false;
  for (bool first = true; !pending.empty() && !anything; first = false) {
    const std::string current = pending.back();
    pending.pop_back();
    const char firing = first ? events : kOnAnyWrite;
    if (!first && !expanded.insert(current).second) continue;
    const auto own = triggers_.find(current);
    if (own == triggers_.end()) continue;
    for (const Trigger& trigger : own->second) {
      if ((trigger.events & firing) == 0) continue;
      if (!trigger.writes) {
        anything = true;
        break;
      }
      for (const std::string& written : *trigger.writes) {
        if (std::find(reached.begin(), reached.end(), written) == reached.end()) reached.push_back(written);
        pending.push_back(written);
      }
    }
  }
  std::optional<std::vector<std::string>> answer;
  if (!anything) answer = std::move(reached);
  reached_.emplace(std::move(memo), answer);
  return answer;
}

void AnswerCache::LoadSchema() {
  tables_.clear();
  triggers_.clear();
  reached_.clear();
  versioned_.clear();
  for (TableRecordset rows = readSchema_(); !rows.Eof(); rows.MoveNext()) {
    const std::string type = rows.Field("type").ToText();
    const std::string table = Lower(rows.Field("tbl_name").ToText());
    if (type == "table") {
      tables_.insert(table);
    } else if (type == "versioned") {
      versioned_.insert(table);
    } else if (type == "trigger" || type == "plpgsql") {
      const Variant sql = rows.Field("sql");
      std::optional<std::vector<std::string>> writes;
      if (!sql.IsNull())
        writes = type == "plpgsql" ? TablesPlpgsqlWrites(sql.ToText()) : TablesTriggerWrites(sql.ToText());
      triggers_[table].push_back({EventsOfTrigger(rows.Field("events")), std::move(writes)});
    }
  }
  schemaLoaded_ = true;
}

}  // namespace apartado
