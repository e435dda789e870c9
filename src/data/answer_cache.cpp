#include "data/answer_cache.h"

#include <cctype>
#include <string_view>
#include <utility>

#include "data/statement_text.h"

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

}  // namespace

AnswerCache::AnswerCache(bool privateDatabase, VersionProbe probe, SchemaReader schema)
    : private_(privateDatabase), probe_(std::move(probe)), readSchema_(std::move(schema)) {}

std::string AnswerCache::KeepableTable(const std::string& sql) {
  if (auto known = keepable_.find(sql); known != keepable_.end()) return known->second;
  if (!schemaLoaded_) LoadSchema();
  std::string table = SingleTableRead(sql);
  if (!tables_.contains(table)) table.clear();
  keepable_.emplace(sql, table);
  return table;
}

void AnswerCache::Refresh(bool locked, std::uint64_t transaction) {
  if (private_) return;
  if (locked && checkedTransaction_ == transaction) return;
  const auto [data, schema] = probe_();
  if (dataVersion_ && *dataVersion_ != data) DropAll();
  if (schema != schemaVersion_) SchemaChanged();
  dataVersion_ = data;
  schemaVersion_ = schema;
  checkedTransaction_ = locked ? transaction : 0;
}

const TableRecordset* AnswerCache::Find(const std::string& key, const std::string& table) const {
  const auto kept = answers_.find(key);
  if (kept == answers_.end() || kept->second.stamp.epoch != epoch_) return nullptr;
  const auto version = versions_.find(table);
  const std::uint64_t now = version == versions_.end() ? 0 : version->second;
  return kept->second.stamp.version == now ? &kept->second.rows : nullptr;
}

AnswerCache::Stamp AnswerCache::StampOf(const std::string& table) const {
  const auto version = versions_.find(table);
  return {epoch_, version == versions_.end() ? 0 : version->second};
}

void AnswerCache::Keep(const std::string& key, const Stamp& stamp, const TableRecordset& rows) {
  if (answers_.size() >= kMaxAnswers) answers_.clear();
  answers_.insert_or_assign(key, Kept{rows, stamp});
}

void AnswerCache::Ran(std::string_view sql) {
  if (PlainSelect(sql)) return;
  const StatementEffect effect = EffectOf(sql);
  switch (effect.kind) {
    case StatementEffect::Kind::ReadsOnly:
      return;
    case StatementEffect::Kind::Writes:
      Wrote(effect.table);
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

void AnswerCache::Wrote(const std::string& table) {
  if (!schemaLoaded_) LoadSchema();
  const auto through = writesThrough_.find(table);
  if (through == writesThrough_.end()) {
    ++versions_[table];
  } else if (!through->second) {
    DropAll();
  } else {
    for (const std::string& written : *through->second) ++versions_[written];
  }
}

void AnswerCache::LoadSchema() {
  tables_.clear();
  writesThrough_.clear();
  // What each table's own triggers write, then everything reachable from it.
  std::unordered_map<std::string, std::vector<std::string>> direct;
  std::unordered_set<std::string> untold;  // a trigger whose writes cannot be told
  for (TableRecordset rows = readSchema_(); !rows.Eof(); rows.MoveNext()) {
    const std::string type = rows.Field("type").ToText();
    const std::string table = Lower(rows.Field("tbl_name").ToText());
    if (type == "table") {
      tables_.insert(table);
    } else if (type == "trigger") {
      const Variant sql = rows.Field("sql");
      const auto writes = sql.IsNull() ? std::nullopt : TablesTriggerWrites(sql.ToText());
      if (writes) {
        std::vector<std::string>& into = direct[table];
        into.insert(into.end(), writes->begin(), writes->end());
      } else {
        untold.insert(table);
      }
    }
  }
  std::unordered_set<std::string> triggered = untold;
  for (const auto& entry : direct) triggered.insert(entry.first);
  for (const std::string& table : triggered) {
    std::vector<std::string> reached = {table};
    bool anything = false;
    for (std::size_t k = 0; k < reached.size() && !anything; ++k) {
      anything = untold.contains(reached[k]);
      const auto next = direct.find(reached[k]);
      if (next == direct.end()) continue;
      for (const std::string& written : next->second) {
        bool seen = false;
        for (const std::string& r : reached) seen = seen || r == written;
        if (!seen) reached.push_back(written);
      }
    }
    if (anything)
      writesThrough_[table] = std::nullopt;
    else
      writesThrough_[table] = std::move(reached);
  }
  schemaLoaded_ = true;
}

}  // namespace apartado
