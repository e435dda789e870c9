#include "recording_services.h"

namespace apartado::bench {

void Replay(Database& db, const std::vector<Step>& steps) {
  Connection& connection = db.GetConnection();
  for (const Step& step : steps) {
    switch (step.kind) {
      case Step::Kind::Statement:
        connection.Execute(step.text);
        break;
      case Step::Kind::Begin:
        db.Begin();
        break;
      case Step::Kind::Commit:
        db.Commit();
        break;
      case Step::Kind::Rollback:
        db.Rollback();
        break;
    }
  }
}

std::unique_ptr<Recordset> RecordingConnection::Execute(const std::string& text) {
  Log(Step::Kind::Statement, text);
  return inner_.Execute(text);
}

void RecordingConnection::BeginTrans() {
  Log(Step::Kind::Begin);
  inner_.BeginTrans();
}

void RecordingConnection::CommitTrans() {
  Log(Step::Kind::Commit);
  inner_.CommitTrans();
}

void RecordingConnection::RollbackTrans() {
  Log(Step::Kind::Rollback);
  inner_.RollbackTrans();
}

Connection& RecordingSession::GetConnection() {
  Connection& real = inner_->GetConnection();
  if (!recorder_ || &real != wrapped_) {
    recorder_ = std::make_unique<RecordingConnection>(real, log_);
    wrapped_ = &real;
  }
  recorder_->logEnabled = enabled_;
  return *recorder_;
}

}  // namespace apartado::bench
