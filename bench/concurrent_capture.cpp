#include "concurrent_capture.h"

#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "apartado/apartado.h"
#include "apartado/suite.h"
#include "capture_workload.h"

namespace apartado::bench {

ClientFigures CaptureConcurrently(const std::string& connectionString, int clients, bool shared, int linesPerClient,
                                  ServerCpu* serverCpu) {
  suite::SuiteOptions options;
  options.connectionString = connectionString;
  InstallServiceFactory(suite::MakeSuiteFactory(options));
  std::mutex mutex;
  std::condition_variable changed;
  int ready = 0, finished = 0;
  bool go = false, measured = false;
  std::exception_ptr failure;
  std::vector<std::thread> threads;
  for (int k = 0; k < clients; ++k) {
    threads.emplace_back([&, k] {
      bool counted = false;
      auto step = [&](int& counter, const bool& until) {
        std::unique_lock lock(mutex);
        ++counter;
        changed.notify_all();
        changed.wait(lock, [&] { return until; });
      };
      try {
        const ProductRange products{shared ? 0 : k * kClientProducts, kClientProducts};
        Apartado layaway;
        CaptureLines(layaway, kLinesPerLayaway, Mode::PerLayaway, products);  // connections, prepared statements
        step(ready, go);
        CaptureLines(layaway, linesPerClient, Mode::PerLayaway, products);
        // The connections stay open until the server's CPU was read.
        counted = true;
        step(finished, measured);
      } catch (...) {
        std::lock_guard lock(mutex);
        if (!failure) failure = std::current_exception();
      }
      if (counted) return;
      std::lock_guard lock(mutex);
      ++ready;  // a client that failed lets the others start and the run end
      ++finished;
      changed.notify_all();
    });
  }
  std::unique_lock lock(mutex);
  changed.wait(lock, [&] { return ready >= clients; });
  const double serverBefore = serverCpu ? serverCpu->Seconds() : 0;
  const double clientBefore = ProcessCpuSeconds();
  const auto start = std::chrono::steady_clock::now();
  go = true;
  changed.notify_all();
  changed.wait(lock, [&] { return finished >= clients; });
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double clientCpu = ProcessCpuSeconds() - clientBefore;
  const double serverCpuUsed = serverCpu ? serverCpu->Seconds() - serverBefore : -1;
  measured = true;
  changed.notify_all();
  lock.unlock();
  for (std::thread& t : threads) t.join();
  InstallServiceFactory(nullptr);
  if (failure) std::rethrow_exception(failure);
  const double lines = static_cast<double>(clients) * linesPerClient;
  ClientFigures figures;
  figures.linesPerSecond = lines / seconds;
  figures.clientCpu = clientCpu / lines;
  figures.serverCpu = serverCpu ? serverCpuUsed / lines : -1;
  return figures;
}

}  // namespace apartado::bench
