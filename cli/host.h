#pragma once
// The command-line host: options shared by every command, the streams a
// command writes to, and the messages the suite's session reports.
#include <chrono>
#include <iosfwd>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "apartado/operation_scope.h"
#include "apartado/suite.h"
#include "json_types.h"

namespace apartado::cli {

// Exit statuses of the program.
inline constexpr int kExitOk = 0;        // every operation answered True
inline constexpr int kExitRefused = 1;   // an operation answered False or failed
inline constexpr int kExitBadInput = 2;  // bad usage or bad input; nothing was written

// Bad usage or bad input, found before anything is written.
using host_json::InputError;

struct HostOptions {
  // --db, else APARTADO_DB, else ./apartado.db.
  std::string connectionString = "apartado.db";
  // Whether --db was given on the command line (the demo ignores APARTADO_DB).
  bool connectionGiven = false;
  std::string operatorKey = "ADMIN";
  std::string serverId;
  bool remote = false;
  bool json = false;
  // --commit-on-refusal: what an operation did before answering False stays.
  bool commitOnRefusal = false;
  // --statement-timeout, else APARTADO_STATEMENT_TIMEOUT (PostgreSQL only;
  // zero keeps the server's).
  std::chrono::milliseconds statementTimeout{0};

  // How the command's own connections are opened.
  OpenOptions Opening(bool readOnly = false) const {
    OpenOptions opening;
    opening.readOnly = readOnly;
    opening.statementTimeout = statementTimeout;
    return opening;
  }

  // How each operation of a command runs as a transaction.
  TransactionPolicy Policy() const {
    TransactionPolicy policy;
    policy.onRefusal = commitOnRefusal ? OnRefusal::Commit : OnRefusal::RollBack;
    return policy;
  }
};

// The messages SessionServices::ReportMessage handed to the host, in order.
class MessageLog {
 public:
  void Add(const suite::ReportedMessage& message);
  // The messages collected so far; the log is empty afterwards.
  std::vector<suite::ReportedMessage> Take();

 private:
  std::mutex mutex_;
  std::vector<suite::ReportedMessage> messages_;
};

// What a command works with.
class Host {
 public:
  Host(HostOptions options, std::ostream& out, std::ostream& err, std::istream& in)
      : options(std::move(options)), out(out), err(err), in(in) {}
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  // Installs the reference suite over connectionString as the component's
  // service factory, with messages going to this host's log. The factory
  // stays installed until the host is destroyed. Given a database (opened on
  // the calling thread), the suite uses it instead of opening its own.
  void InstallSuite(const std::string& connectionString, std::shared_ptr<Database> database = nullptr);
  ~Host();

  HostOptions options;
  std::ostream& out;
  std::ostream& err;
  std::istream& in;
  MessageLog messages;

 private:
  bool installed_ = false;
};

// Parses the command line, runs the command and answers the exit status.
// Commands install the process's service factory: one Run at a time.
// Nothing escapes: every failure becomes a message on err and a status.
// The command runs on a thread of its own, so the component's per-thread
// start-up reads this command's database and options.
int Run(int argc, const char* const argv[], std::ostream& out, std::ostream& err, std::istream& in);
// The same with the arguments after the program name.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, std::istream& in);

}  // namespace apartado::cli
