#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "apartado/database.h"

namespace apartado {

// Reading statement texts without a parser: only quotes, comments, words and
// ';' are told apart, which is all the checks below need. What a quote or a
// comment is depends on the database's SqlDialect (apartado/database.h):
// - SQLite: '...', "...", `...`, [...]; -- to the end of the line; /* */ not nested
// - PostgreSQL: '...' (standard_conforming_strings on), E'...' with backslash escapes, "...",
//   $tag$...$tag$; -- to the end of the line; /* */ nested
// - SqlServer: '...', "...", [...] (]] inside stands for ]); -- to the end of the line; /* */ nested

// True when, read in the dialect, the text holds a ';' outside quotes and
// comments followed by anything but blanks, comments or more ';': a second
// statement. An unclosed quote runs to the end of the text (the database
// refuses it).
bool HasSecondStatement(std::string_view text, SqlDialect dialect);
// True when any of the dialects reads a second statement in the text: the
// check for a connection whose server may be any of them (ODBC), or that
// must not depend on reading one of them exactly.
bool HasSecondStatement(std::string_view text);

// True when the statement answers rows: its first word (after blanks,
// comments and opening parentheses) is SELECT, WITH, VALUES, TABLE, SHOW,
// EXPLAIN or PRAGMA.
bool AnswersRows(std::string_view text);

// The statements of a script, split on the ';' outside quotes and comments
// of the dialect, each without its ';'; pieces holding only blanks and
// comments are left out.
std::vector<std::string> SplitScript(std::string_view script, SqlDialect dialect);

// A statement whose :p1, :p2, ... placeholders were renumbered in order of
// appearance (:b1, :b2, ...), so that each occurrence is bound on its own:
// Params[i] is the parameter index (0-based) the i-th occurrence takes.
struct NumberedPlaceholders {
  std::string sql;
  std::vector<std::size_t> params;
};
// Throws Failure when a placeholder names a parameter beyond paramCount.
NumberedPlaceholders NumberPlaceholders(std::string_view sql, std::size_t paramCount);

// What running a statement may change, read off its text as SQLite reads it
// (this and the two below serve SQLite's kept answers).
struct StatementEffect {
  enum class Kind {
    ReadsOnly,  // SELECT, VALUES, EXPLAIN: changes nothing
    Writes,     // INSERT, REPLACE, UPDATE or DELETE of the one table named
    Unknown,    // anything else: schema, pragmas, transactions, WITH, a
                // quoted or qualified table name
  };
  Kind kind = Kind::Unknown;
  std::string table;  // Writes: the table, in lower case
};
StatementEffect EffectOf(std::string_view text);

// The trigger events a write may fire, as bits: an INSERT fires insert
// triggers (update ones too with ON CONFLICT, an upsert), an UPDATE update
// triggers, a DELETE delete triggers; anything else (REPLACE, INSERT OR
// REPLACE, a text not told) any.
inline constexpr char kOnInsert = 1;
inline constexpr char kOnUpdate = 2;
inline constexpr char kOnDelete = 4;
inline constexpr char kOnAnyWrite = kOnInsert | kOnUpdate | kOnDelete;
char WriteEventsOf(std::string_view text);

// True when the text calls a function other than the common built-in ones
// that write nothing (COUNT, SUM, COALESCE, LOWER, GETDATE, ...): a word
// followed by '(' that is neither such a function, a keyword nor a table's
// column list (INSERT INTO t (...)). On a server a function may write.
bool CallsUnknownFunction(std::string_view text);

// The one table a query of a single table reads ("SELECT ... FROM t WHERE
// ...": no join, subquery, compound or second FROM), in lower case; "" for
// a text of any other shape.
std::string SingleTableRead(std::string_view text);

// The tables the statements of a trigger's body write (what follows its
// BEGIN), in lower case; nullopt when a statement's target cannot be told.
std::optional<std::vector<std::string>> TablesTriggerWrites(std::string_view triggerSql);

// The tables a PL/pgSQL function's body (pg_proc.prosrc) may write, in lower
// case, read as PostgreSQL reads quotes and comments: the targets of INSERT
// INTO t, UPDATE [ONLY] t and DELETE FROM [ONLY] t wherever they stand (in a
// WITH too), but not the UPDATE of a row lock (FOR [NO KEY] UPDATE) nor of an
// upsert (ON CONFLICT ... DO UPDATE, which writes its INSERT's table).
// nullopt, "anything", for a body that does what is not told from its text:
// dynamic or other statements (EXECUTE, CALL, COPY, TRUNCATE, MERGE, DO,
// schema changes, a SET of the session), a target that is not a plain name,
// a call of a function outside a few built-ins that write nothing
// (COALESCE, NULLIF, CURRENT_SETTING, SET_CONFIG, ROUND, SUM, COUNT, ...),
// or any mention of search_path (which would change what names reach).
std::optional<std::vector<std::string>> TablesPlpgsqlWrites(std::string_view body);

// True when a query locks the rows it answers against other sessions'
// changes until its transaction ends: FOR UPDATE, FOR NO KEY UPDATE or FOR
// SHARE (not FOR KEY SHARE, under which other columns may still change).
bool LocksRowsRead(std::string_view text);

}  // namespace apartado
