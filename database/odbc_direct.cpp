#include "database/odbc_direct.h"

#include <soci/odbc/soci-odbc.h>
#include <soci/soci.h>
#include <sql.h>
#include <sqlext.h>

#include <algorithm>

namespace apartado {
namespace {

// The first diagnostic record of the handle, and its SQLSTATE.
OdbcError Diagnostic(SQLSMALLINT type, SQLHANDLE handle) {
  SQLCHAR state[SQL_SQLSTATE_SIZE + 1] = {};
  SQLCHAR text[SQL_MAX_MESSAGE_LENGTH + 1] = {};
  SQLINTEGER native = 0;
  SQLSMALLINT length = 0;
  if (!SQL_SUCCEEDED(SQLGetDiagRec(type, handle, 1, state, &native, text, sizeof text, &length)))
    return OdbcError("The ODBC driver refused the statement and gave no reason", "");
  return OdbcError(OdbcMessage(reinterpret_cast<const char*>(text)), reinterpret_cast<const char*>(state));
}

}  // namespace

void OdbcExecDirect(soci::session& session, const std::string& sql) {
  auto* backend = static_cast<soci::odbc_session_backend*>(session.get_backend());
  SQLHSTMT statement = SQL_NULL_HSTMT;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, backend->hdbc_, &statement)))
    throw Diagnostic(SQL_HANDLE_DBC, backend->hdbc_);
  const SQLRETURN rc =
      SQLExecDirect(statement, reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.c_str())), SQL_NTS);
  // SQL_NO_DATA: a statement that changed no rows.
  if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) {
    OdbcError error = Diagnostic(SQL_HANDLE_STMT, statement);
    SQLFreeHandle(SQL_HANDLE_STMT, statement);
    throw error;
  }
  SQLFreeHandle(SQL_HANDLE_STMT, statement);
}

bool OdbcConnectionDead(soci::session& session) {
  auto* backend = static_cast<soci::odbc_session_backend*>(session.get_backend());
  SQLUINTEGER dead = SQL_CD_FALSE;
  return SQL_SUCCEEDED(SQLGetConnectAttr(backend->hdbc_, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr)) &&
         dead == SQL_CD_TRUE;
}

void OdbcCloseCursor(soci::statement& statement) {
  auto* backend = static_cast<soci::odbc_statement_backend*>(statement.get_backend());
  SQLFreeStmt(backend->hstmt_, SQL_CLOSE);
}

void RethrowWithDiagnostic(soci::statement& statement, const soci::soci_error& error) {
  if (dynamic_cast<const soci::odbc_soci_error*>(&error) == nullptr) {
    auto* backend = static_cast<soci::odbc_statement_backend*>(statement.get_backend());
    SQLCHAR state[SQL_SQLSTATE_SIZE + 1] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    // Reading a diagnostic leaves it in place for the error to read.
    if (backend != nullptr && SQL_SUCCEEDED(SQLGetDiagRec(SQL_HANDLE_STMT, backend->hstmt_, 1, state, &native,
                                                          nullptr, 0, &length)))
      throw soci::odbc_soci_error(SQL_HANDLE_STMT, backend->hstmt_, error.get_error_message());
  }
  throw;
}

std::string OdbcMessage(std::string diagnostic) {
  for (const char* severity : {"ERROR:", "FATAL:"}) {
    if (diagnostic.rfind(severity, 0) != 0) continue;
    diagnostic.erase(0, std::char_traits<char>::length(severity));
    diagnostic.erase(0, std::min(diagnostic.find_first_not_of(' '), diagnostic.size()));
    const std::size_t lineBreak = diagnostic.find('\n');
    if (lineBreak != std::string::npos) {
      diagnostic.erase(lineBreak);
      if (!diagnostic.empty() && diagnostic.back() == ';') diagnostic.pop_back();
    }
    break;
  }
  while (!diagnostic.empty() && (diagnostic.back() == '\n' || diagnostic.back() == ' ')) diagnostic.pop_back();
  return diagnostic;
}

bool IsOdbcConflict(const std::string& sqlstate) {
  return sqlstate == "40001" || sqlstate == "40P01" || sqlstate == "55P03";
}

}  // namespace apartado
