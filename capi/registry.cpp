#include "registry.h"

#include <atomic>
#include <mutex>
#include <shared_mutex>
#include <unordered_map>

#include "apartado/database.h"
#include "apartado/services.h"
#include "call.h"

namespace apartado::capi {
namespace {

// Handle values are numbers that are never handed out twice, so a released
// handle can always be told from a live one.
std::atomic<std::uint64_t> next_handle{0x1000};
std::atomic<std::uint64_t> next_thread{1};

std::uint64_t ThisThread() {
  thread_local const std::uint64_t token = next_thread++;
  return token;
}

template <class Handle>
Handle* HandleOf(std::uint64_t id) {
  return reinterpret_cast<Handle*>(static_cast<std::uintptr_t>(id));
}
std::uint64_t IdOf(const void* handle) { return reinterpret_cast<std::uintptr_t>(handle); }

// The calling thread's module state, as far as this interface knows it.
struct ThreadModule {
  // The suite installation the thread's start-up ran under; 0 before it ran.
  std::uint64_t startedUnder = 0;
  int liveObjects = 0;
  // The owners of the thread's open scopes, outermost first.
  std::vector<ObjectEntry*> openScopes;
};

ThreadModule& ThisThreadModule() {
  thread_local ThreadModule module;
  return module;
}

thread_local ObjectEntry* running = nullptr;

struct InstalledSuite {
  std::uint64_t handle = 0;  // 0: none installed
  std::uint64_t installation = 0;
  std::string connection;
};

// Never destroyed: objects a host leaves behind must not be torn down after
// the thread states their scopes refer to are gone.
struct Registry {
  std::mutex objectsMutex;
  std::unordered_map<std::uint64_t, std::unique_ptr<ObjectEntry>> objects;
  // Held exclusively to install or close a suite, shared to create an object.
  std::shared_mutex suiteMutex;
  InstalledSuite suite;
  std::uint64_t installations = 0;
};

Registry& TheRegistry() {
  static Registry* registry = new Registry;
  return *registry;
}

void KeepReportedMessage(const suite::ReportedMessage& message) {
  // Reported outside any object's call, a message has no one to go to.
  if (running) running->messages.push_back(message);
}

}  // namespace

apartado_suite* InstallSuite(suite::SuiteOptions options) {
  Registry& r = TheRegistry();
  std::unique_lock lock(r.suiteMutex);
  if (r.suite.handle != 0) throw CallError(APARTADO_BAD_STATE, "a suite is installed already: close it first");
  Database::Open(options.connectionString);
  options.messageSink = KeepReportedMessage;
  const std::string connection = options.connectionString;
  InstallServiceFactory(suite::MakeSuiteFactory(std::move(options)));
  r.suite = InstalledSuite{next_handle++, ++r.installations, connection};
  return HandleOf<apartado_suite>(r.suite.handle);
}

std::string SuiteConnection(apartado_suite* handle) {
  Registry& r = TheRegistry();
  std::shared_lock lock(r.suiteMutex);
  if (!handle || IdOf(handle) != r.suite.handle) {
    throw CallError(APARTADO_BAD_HANDLE, "not the installed suite: the handle was closed or never made");
  }
  return r.suite.connection;
}

void CloseSuite(apartado_suite* handle) {
  Registry& r = TheRegistry();
  std::unique_lock lock(r.suiteMutex);
  if (!handle || IdOf(handle) != r.suite.handle) {
    throw CallError(APARTADO_BAD_HANDLE, "not the installed suite: the handle was closed or never made");
  }
  InstallServiceFactory(nullptr);
  r.suite = InstalledSuite{};
}

apartado_object* CreateObject() {
  Registry& r = TheRegistry();
  std::shared_lock lock(r.suiteMutex);
  if (r.suite.handle == 0)
    throw CallError(APARTADO_BAD_STATE, "no suite is installed: call apartado_suite_install first");
  ThreadModule& module = ThisThreadModule();
  if (module.startedUnder != 0 && module.startedUnder != r.suite.installation) {
    if (module.liveObjects > 0) {
      throw CallError(APARTADO_BAD_STATE,
                      "this thread still holds objects made under a suite since closed: release them before "
                      "creating objects under the new one");
    }
    // The thread's services and settings are the closed suite's.
    DiscardModuleState();
    module.startedUnder = 0;
  }
  auto entry = std::make_unique<ObjectEntry>();
  entry->thread = ThisThread();
  try {
    entry->object = std::make_unique<Apartado>();
  } catch (...) {
    // A start-up that failed would stay failed on this thread: the next
    // object runs it again instead.
    if (module.startedUnder == 0) DiscardModuleState();
    throw;
  }
  module.startedUnder = r.suite.installation;
  const std::uint64_t id = next_handle++;
  {
    std::lock_guard objectsLock(r.objectsMutex);
    r.objects.emplace(id, std::move(entry));
  }
  ++module.liveObjects;
  return HandleOf<apartado_object>(id);
}

ObjectEntry& UseObject(apartado_object* handle) {
  if (!handle) throw CallError(APARTADO_BAD_HANDLE, "the object handle is null");
  Registry& r = TheRegistry();
  std::lock_guard lock(r.objectsMutex);
  auto found = r.objects.find(IdOf(handle));
  if (found == r.objects.end()) {
    throw CallError(APARTADO_BAD_HANDLE, "not a live object: the handle was released or never made");
  }
  if (found->second->thread != ThisThread()) {
    throw CallError(APARTADO_WRONG_THREAD,
                    "the object belongs to another thread: an object is used only on the thread that created it");
  }
  // Only this thread may release it, so the entry outlives the lock.
  return *found->second;
}

void ReleaseObject(apartado_object* handle) {
  ObjectEntry& entry = UseObject(handle);
  ThreadModule& module = ThisThreadModule();
  const std::size_t open = entry.scopes.size();
  for (std::size_t i = 0; i < open; ++i) {
    if (module.openScopes[module.openScopes.size() - 1 - i] != &entry) {
      throw CallError(APARTADO_BAD_STATE,
                      "another object's scope, opened inside this object's, is still open: end it first");
    }
  }
  while (!entry.scopes.empty()) {
    entry.scopes.pop_back();  // rolls back
    module.openScopes.pop_back();
  }
  std::unique_ptr<ObjectEntry> taken;
  {
    Registry& r = TheRegistry();
    std::lock_guard lock(r.objectsMutex);
    auto found = r.objects.find(IdOf(handle));
    taken = std::move(found->second);
    r.objects.erase(found);
  }
  --module.liveObjects;
}

void OpenScope(ObjectEntry& entry, OnRefusal onRefusal) {
  ThreadModule& module = ThisThreadModule();
  // Room first: once the transaction has begun, keeping it cannot fail.
  module.openScopes.reserve(module.openScopes.size() + 1);
  entry.scopes.reserve(entry.scopes.size() + 1);
  entry.scopes.push_back(std::make_unique<OperationScope>(*entry.object, onRefusal));
  module.openScopes.push_back(&entry);
}

std::unique_ptr<OperationScope> TakeInnermostScope(ObjectEntry& entry) {
  ThreadModule& module = ThisThreadModule();
  if (entry.scopes.empty()) throw CallError(APARTADO_BAD_STATE, "no scope is open on the object");
  if (module.openScopes.back() != &entry) {
    throw CallError(APARTADO_BAD_STATE,
                    "another object's scope, opened inside this object's, is still open: scopes end innermost first");
  }
  std::unique_ptr<OperationScope> scope = std::move(entry.scopes.back());
  entry.scopes.pop_back();
  module.openScopes.pop_back();
  return scope;
}

apartado_status OnObject(const char* function, apartado_object* handle,
                         const std::function<void(ObjectEntry&)>& body) noexcept {
  return Call(function, [&] {
    ObjectEntry& entry = UseObject(handle);
    Running running(entry);
    body(entry);
  });
}

Running::Running(ObjectEntry& entry) : previous_(running) { running = &entry; }
Running::~Running() { running = previous_; }

}  // namespace apartado::capi
