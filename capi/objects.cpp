// The suite, the objects, their messages and their transactions.
#include <memory>

#include "apartado/database.h"
#include "apartado/suite.h"
#include "call.h"
#include "record_json.h"
#include "registry.h"

using namespace apartado::capi;

namespace {

apartado::OnRefusal Policy(int mode) {
  if (mode == APARTADO_ROLL_BACK_ON_REFUSAL) return apartado::OnRefusal::RollBack;
  if (mode == APARTADO_COMMIT_ON_REFUSAL) return apartado::OnRefusal::Commit;
  throw CallError(
      APARTADO_BAD_ARGUMENT,
      "a scope takes APARTADO_ROLL_BACK_ON_REFUSAL or APARTADO_COMMIT_ON_REFUSAL, not " + std::to_string(mode));
}

}  // namespace

extern "C" {

apartado_status apartado_suite_install(const char* connection, const char* operatorKey, const char* serverId,
                                       int remote, apartado_suite** suite) {
  return Call(__func__, [&] {
    Require(connection, "connection");
    Require(suite, "suite");
    apartado::suite::SuiteOptions options;
    options.connectionString = connection;
    if (operatorKey) options.operatorKey = operatorKey;
    if (serverId) options.serverId = serverId;
    options.remote = remote != 0;
    *suite = InstallSuite(std::move(options));
  });
}

apartado_status apartado_suite_create_schema(apartado_suite* suite) {
  return Call(__func__, [&] {
    std::unique_ptr<apartado::Database> db = apartado::Database::Open(SuiteConnection(suite));
    apartado::suite::CreateSchema(*db);
  });
}

apartado_status apartado_suite_close(apartado_suite* suite) {
  return Call(__func__, [&] { CloseSuite(suite); });
}

apartado_status apartado_create(apartado_object** object) {
  return Call(__func__, [&] {
    Require(object, "object");
    *object = CreateObject();
  });
}

apartado_status apartado_release(apartado_object* object) {
  return Call(__func__, [&] { ReleaseObject(object); });
}

apartado_status apartado_take_messages(apartado_object* object, char** json) {
  return OnObject(__func__, object, [&](ObjectEntry& entry) {
    Require(json, "json");
    *json = Handed(apartado::host_json::MessagesToJson(entry.messages)
                       .dump(-1, ' ', false, apartado::host_json::Json::error_handler_t::replace));
    entry.messages.clear();
  });
}

apartado_status apartado_set_transactions(apartado_object* object, int mode) {
  return OnObject(__func__, object, [&](ObjectEntry& entry) {
    if (mode != APARTADO_NO_TRANSACTIONS) Policy(mode);  // refuses a mode it does not know
    entry.transactions = mode;
  });
}

apartado_status apartado_begin(apartado_object* object, int onRefusal) {
  return OnObject(__func__, object, [&](ObjectEntry& entry) { OpenScope(entry, Policy(onRefusal)); });
}

apartado_status apartado_finish(apartado_object* object, apartado_boolean answer) {
  return OnObject(__func__, object, [&](ObjectEntry& entry) { TakeInnermostScope(entry)->Finish(answer); });
}

apartado_status apartado_rollback(apartado_object* object) {
  return OnObject(__func__, object, [&](ObjectEntry& entry) { TakeInnermostScope(entry)->Rollback(); });
}

}  // extern "C"
