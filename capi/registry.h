#pragma once
// The handles the C interface hands out: the installed suite and the objects,
// each object bound to the thread that created it.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "apartado/apartado.h"
#include "apartado/apartado_c.h"
#include "apartado/operation_scope.h"
#include "apartado/suite.h"

namespace apartado::capi {

// What a handle of an object stands for.
struct ObjectEntry {
  std::unique_ptr<Apartado> object;
  // How its operations run (apartado_set_transactions).
  int transactions = APARTADO_NO_TRANSACTIONS;
  // Its open scopes, outermost first.
  std::vector<std::unique_ptr<OperationScope>> scopes;
  // What the session reported while it ran, not taken yet.
  std::vector<suite::ReportedMessage> messages;
  std::uint64_t thread = 0;
};

// Installs the reference suite over options.connectionString (opened once
// first, to check it) and answers its handle. Throws CallError
// (APARTADO_BAD_STATE) while another suite is installed.
apartado_suite* InstallSuite(suite::SuiteOptions options);
// The connection string of the installed suite the handle names. Throws
// CallError (APARTADO_BAD_HANDLE) for any other handle.
std::string SuiteConnection(apartado_suite* handle);
void CloseSuite(apartado_suite* handle);

// Creates an object on the calling thread under the installed suite. Throws
// CallError (APARTADO_BAD_STATE) when no suite is installed, or when the
// thread's module state started under a suite since closed and objects of it
// are still alive on the thread; the component's failure otherwise.
apartado_object* CreateObject();
// The object a handle names, for use on the calling thread. Throws CallError
// (APARTADO_BAD_HANDLE, APARTADO_WRONG_THREAD).
ObjectEntry& UseObject(apartado_object* handle);
// Releases the object after rolling back its open scopes. Throws as UseObject.
void ReleaseObject(apartado_object* handle);

// The scopes open on the calling thread end innermost first, whichever
// object opened them: these keep the thread's order.
void OpenScope(ObjectEntry& entry, OnRefusal onRefusal);
// The innermost scope of the thread, when it is the entry's; throws CallError
// (APARTADO_BAD_STATE) otherwise. It is taken off both stacks.
std::unique_ptr<OperationScope> TakeInnermostScope(ObjectEntry& entry);

// Runs body on the object the handle names, on its own thread, inside Call.
apartado_status OnObject(const char* function, apartado_object* handle,
                         const std::function<void(ObjectEntry&)>& body) noexcept;

// Marks entry as the object running on this thread while it lives, so that
// what the session reports meanwhile is kept with it.
class Running {
 public:
  explicit Running(ObjectEntry& entry);
  ~Running();
  Running(const Running&) = delete;
  Running& operator=(const Running&) = delete;

 private:
  ObjectEntry* previous_;
};

}  // namespace apartado::capi
