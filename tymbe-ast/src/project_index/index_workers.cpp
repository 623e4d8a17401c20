#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cxxabi.h>
#include <exception>
#include <string>

#include "project_index/index_state.h"

namespace tymbe::ast {

namespace {

constexpr size_t kWorkerStackSize = size_t{2} << 20;

// glibc offers either strerror_r; the overloads accept what each returns.
[[maybe_unused]] const char* strerror_text(int result, const char* buffer) { return result == 0 ? buffer : nullptr; }
[[maybe_unused]] const char* strerror_text(const char* result, const char*) { return result; }

std::string os_error_text(int number) {
  char buffer[256] = {};
  const char* description = strerror_text(strerror_r(number, buffer, sizeof buffer), buffer);
  std::string text = description ? description : "Unknown error " + std::to_string(number);
  return text + " (os error " + std::to_string(number) + ")";
}

void* index_worker_main(void* argument) {
  // Released on every way out, so the index state goes once the last worker ends.
  const std::unique_ptr<IndexWorkerTask> task(static_cast<IndexWorkerTask*>(argument));
  try {
    run_index_worker(*task);
  } catch (const abi::__forced_unwind&) {
    throw;  // thread cancellation must finish unwinding
  } catch (const std::exception& error) {
    std::fprintf(stderr, "tymbe: background indexing worker %zu stopped: %s\n", task->worker_number, error.what());
  } catch (...) {
    std::fprintf(stderr, "tymbe: background indexing worker %zu stopped by an unknown failure\n",
                 task->worker_number);
  }
  return nullptr;
}

class ThreadAttributes {
 public:
  ThreadAttributes() : error_(pthread_attr_init(&attr_)) {}
  ThreadAttributes(const ThreadAttributes&) = delete;
  ThreadAttributes& operator=(const ThreadAttributes&) = delete;
  ~ThreadAttributes() {
    if (error_ == 0) pthread_attr_destroy(&attr_);
  }
  int error() const noexcept { return error_; }
  pthread_attr_t* get() noexcept { return &attr_; }

 private:
  pthread_attr_t attr_;
  int error_;
};

}  // namespace

void run_index_worker(const IndexWorkerTask& task) {
  const auto& files = *task.files;
  for (size_t position = task.worker_number; position < files.size(); position += task.worker_count) {
    // Success or message, the outcome stays in the slot for later lookups.
    (void)parsed_ast_file(*task.inner, files[position]);
  }
}

long system_online_processors() { return sysconf(_SC_NPROCESSORS_ONLN); }

int spawn_detached_worker(std::unique_ptr<IndexWorkerTask>& task) {
  ThreadAttributes attributes;
  if (attributes.error() != 0) return attributes.error();
  if (int error = pthread_attr_setstacksize(attributes.get(), kWorkerStackSize); error != 0) return error;
  if (int error = pthread_attr_setdetachstate(attributes.get(), PTHREAD_CREATE_DETACHED); error != 0) return error;
  // The worker starts with every signal blocked, so that signals go to the
  // caller's threads, which handle them, and never interrupt a worker's read.
  sigset_t all_signals;
  sigset_t previous;
  sigfillset(&all_signals);
  if (int error = pthread_sigmask(SIG_SETMASK, &all_signals, &previous); error != 0) return error;
  pthread_t thread;
  const int error = pthread_create(&thread, attributes.get(), index_worker_main, task.get());
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  if (error != 0) return error;
  (void)task.release();  // the thread owns it now
  return 0;
}

const WorkerPlatform& system_worker_platform() {
  // Never destroyed, like everything a thread may reach while the process exits.
  static const WorkerPlatform& platform = *new WorkerPlatform{system_online_processors, spawn_detached_worker};
  return platform;
}

void ProjectIndexAccess::start_index(const AstProjectIndex& index, const WorkerPlatform& platform) {
  const auto& files = index.files_;
  if (files->empty()) return;
  // One exchange decides the one caller that starts the workers, ever.
  if (index.inner_->index_started.exchange(true, std::memory_order_acq_rel)) return;

  const long online = platform.online_processors();
  const size_t processors = online > 0 ? static_cast<size_t>(online) : 1;
  const size_t worker_count = std::max<size_t>(1, std::min(processors, files->size()));
  for (size_t worker_number = 0; worker_number < worker_count; ++worker_number) {
    auto task = std::make_unique<IndexWorkerTask>(IndexWorkerTask{files, index.inner_, worker_count, worker_number});
    if (int error = platform.spawn_detached(task); error != 0) {
      // The workers already started go on; the flag stays set, so the rest never start.
      throw InternalError("failed to spawn thread: " + os_error_text(error));
    }
  }
}

}  // namespace tymbe::ast
