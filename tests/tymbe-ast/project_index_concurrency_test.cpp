// Background indexing and concurrent lookups. Workers are detached, so every
// test that starts them waits until they have let go of the index state.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "counting_filesystem.h"
#include "project_index/index_state.h"
#include "tymbe_ast/project_index.h"

namespace tymbe::ast {
namespace {

using test_support::CountingFileSystem;

// Records which thread read each path, in read order; reads go on to a
// CountingFileSystem, whose counts and gate stay usable.
class ThreadRecordingFileSystem final : public AstFileSystem {
 public:
  explicit ThreadRecordingFileSystem(std::shared_ptr<CountingFileSystem> files) : files_(std::move(files)) {}

  Result<std::string, IoError> read_to_string(std::string_view path) const override {
    {
      std::lock_guard lock(mutex_);
      reads_.emplace_back(std::string(path), std::this_thread::get_id());
    }
    return files_->read_to_string(path);
  }
  Result<std::vector<std::string>, IoError> all_files() const override { return files_->all_files(); }

  std::vector<std::pair<std::string, std::thread::id>> reads() const {
    std::lock_guard lock(mutex_);
    return reads_;
  }

 private:
  std::shared_ptr<CountingFileSystem> files_;
  mutable std::mutex mutex_;
  mutable std::vector<std::pair<std::string, std::thread::id>> reads_;
};

std::string path_at(size_t position) { return "/proj/m" + std::to_string(position) + ".py"; }

std::string source_at(size_t position) {
  const std::string n = std::to_string(position);
  return "from tymbe import online\n\n@online\ndef r" + n + "(): pass\n\ndef f" + n + "(): pass\n";
}

std::vector<std::string> add_files(CountingFileSystem& filesystem, size_t count) {
  std::vector<std::string> paths;
  for (size_t i = 0; i < count; ++i) {
    filesystem.add_file(path_at(i), source_at(i));
    paths.push_back(path_at(i));
  }
  return paths;
}

// Polls until no worker holds the index state any more (only `index` does).
bool wait_for_workers(const AstProjectIndex& index, std::chrono::seconds limit = std::chrono::seconds(30)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (ProjectIndexAccess::inner(index).use_count() > 1) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// The real thread start, with each start's worker number and count noted.
struct RecordingPlatform {
  long processors;
  std::vector<std::pair<size_t, size_t>> started;  // (worker_number, worker_count)
  size_t fail_from = SIZE_MAX;                       // refuse this start and every later one

  WorkerPlatform platform() {
    return {[this] { return processors; },
            [this](std::unique_ptr<IndexWorkerTask>& task) {
              if (started.size() >= fail_from) return EAGAIN;
              started.emplace_back(task->worker_number, task->worker_count);
              return spawn_detached_worker(task);
            }};
  }
};

// The positions each reading thread handled, in its read order, the groups
// ordered by their first position; and whether the caller's thread read any.
std::vector<std::vector<size_t>> positions_by_thread(const ThreadRecordingFileSystem& filesystem,
                                                     const std::vector<std::string>& paths) {
  std::map<std::thread::id, std::vector<size_t>> by_thread;
  for (const auto& [path, thread] : filesystem.reads()) {
    EXPECT_NE(thread, std::this_thread::get_id()) << path;
    const size_t position = std::find(paths.begin(), paths.end(), path) - paths.begin();
    by_thread[thread].push_back(position);
  }
  std::vector<std::vector<size_t>> groups;
  for (auto& [thread, positions] : by_thread) groups.push_back(std::move(positions));
  std::sort(groups.begin(), groups.end());
  return groups;
}

TEST(IndexWorkers, WorkerKTakesEveryNthPosition) {
  struct Case {
    const char* what;
    size_t entries;
    long processors;
    std::vector<std::vector<size_t>> expected;
  };
  const Case cases[] = {
      {"3 entries, 8 processors", 3, 8, {{0}, {1}, {2}}},
      {"10 entries, 4 processors", 10, 4, {{0, 4, 8}, {1, 5, 9}, {2, 6}, {3, 7}}},
      {"count unavailable", 5, -1, {{0, 1, 2, 3, 4}}},
      {"count of zero", 3, 0, {{0, 1, 2}}},
      {"one entry", 1, 8, {{0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto counting = std::make_shared<CountingFileSystem>();
    const auto paths = add_files(*counting, c.entries);
    auto recording = std::make_shared<ThreadRecordingFileSystem>(counting);
    RecordingPlatform platform{c.processors, {}};
    {
      const AstProjectIndex index = AstProjectIndex::with_filesystem("/proj", paths, recording);
      // Every worker is held at its first read until all have started, so no
      // two of them can share a thread id.
      counting->close_gate();
      ProjectIndexAccess::start_index(index, platform.platform());
      const bool all_started = counting->wait_for_reads(c.expected.size());
      counting->open_gate();
      ASSERT_TRUE(wait_for_workers(index));
      EXPECT_TRUE(all_started);
    }
    std::vector<std::pair<size_t, size_t>> expected_starts;
    for (size_t k = 0; k < c.expected.size(); ++k) expected_starts.emplace_back(k, c.expected.size());
    EXPECT_EQ(platform.started, expected_starts);
    EXPECT_EQ(positions_by_thread(*recording, paths), c.expected);
  }
}

TEST(IndexWorkers, StartsOnceEvenWhenCalledAtOnce) {
  auto counting = std::make_shared<CountingFileSystem>();
  const auto paths = add_files(*counting, 6);
  RecordingPlatform platform{2, {}};
  const WorkerPlatform hooks = platform.platform();
  std::mutex serial;  // the recording platform itself is not thread-safe
  const WorkerPlatform guarded{hooks.online_processors, [&](std::unique_ptr<IndexWorkerTask>& task) {
                                 std::lock_guard lock(serial);
                                 return hooks.spawn_detached(task);
                               }};
  const AstProjectIndex index = AstProjectIndex::with_filesystem("/proj", paths, counting);
  std::vector<std::thread> callers;
  for (int t = 0; t < 8; ++t) callers.emplace_back([&] { ProjectIndexAccess::start_index(index, guarded); });
  for (auto& caller : callers) caller.join();
  ASSERT_TRUE(wait_for_workers(index));
  ProjectIndexAccess::start_index(index, guarded);  // after the workers ended
  index.nonblocking_start_index();
  ASSERT_TRUE(wait_for_workers(index));

  EXPECT_EQ(platform.started.size(), 2u);
  for (const auto& path : paths) EXPECT_EQ(counting->reads(path), 1u) << path;
}

// The first refusal stops the start with the system's error; the workers
// already running finish their share, and no later call starts the rest.
TEST(IndexWorkers, SpawnFailureIsAnInternalError) {
  auto counting = std::make_shared<CountingFileSystem>();
  const auto paths = add_files(*counting, 4);
  RecordingPlatform platform{2, {}, 1};
  const AstProjectIndex index = AstProjectIndex::with_filesystem("/proj", paths, counting);
  try {
    ProjectIndexAccess::start_index(index, platform.platform());
    ADD_FAILURE() << "no failure";
  } catch (const InternalError& error) {
    EXPECT_STREQ(error.what(), "failed to spawn thread: Resource temporarily unavailable (os error 11)");
  }
  EXPECT_TRUE(ProjectIndexAccess::inner(index)->index_started.load());
  platform.fail_from = SIZE_MAX;
  ProjectIndexAccess::start_index(index, platform.platform());
  ASSERT_TRUE(wait_for_workers(index));
  EXPECT_EQ(platform.started.size(), 1u);
  EXPECT_EQ(counting->reads(paths[0]), 1u);
  EXPECT_EQ(counting->reads(paths[1]), 0u);
  EXPECT_EQ(counting->reads(paths[2]), 1u);
  EXPECT_EQ(counting->reads(paths[3]), 0u);
}

// A fault ends its worker only: that worker's later positions wait for a
// lookup, the other worker's are done, and the process goes on.
TEST(IndexWorkers, FaultEndsOnlyItsWorker) {
  auto counting = std::make_shared<CountingFileSystem>();
  auto paths = add_files(*counting, 4);
  counting->add_fault(paths[0]);
  RecordingPlatform platform{2, {}};
  const AstProjectIndex index = AstProjectIndex::with_filesystem("/proj", paths, counting);
  testing::internal::CaptureStderr();
  ProjectIndexAccess::start_index(index, platform.platform());
  ASSERT_TRUE(wait_for_workers(index));
  const std::string stderr_text = testing::internal::GetCapturedStderr();
  EXPECT_NE(stderr_text.find("read fault"), std::string::npos) << stderr_text;

  EXPECT_EQ(counting->reads(paths[0]), 1u);
  EXPECT_EQ(counting->reads(paths[1]), 1u);
  EXPECT_EQ(counting->reads(paths[2]), 0u);
  EXPECT_EQ(counting->reads(paths[3]), 1u);
  EXPECT_EQ(index.get_parsed_ast_file(paths[0]).error(), "typed AST cache lock poisoned for /proj/m0.py");
  EXPECT_TRUE(index.resolver_ast("m2", "r2").has_value());
  EXPECT_EQ(counting->reads(paths[2]), 1u);
}

// The caller's handle can go while workers run: they keep the state alive,
// and it is released (with the file system's share) when the last one ends.
TEST(IndexWorkers, StateOutlivesTheCallersHandleUntilWorkersEnd) {
  auto counting = std::make_shared<CountingFileSystem>();
  const auto paths = add_files(*counting, 8);
  std::weak_ptr<AstProjectIndexInner> state;
  counting->close_gate();
  {
    const AstProjectIndex index = AstProjectIndex::with_filesystem("/proj", paths, counting);
    state = ProjectIndexAccess::inner(index);
    index.nonblocking_start_index();
    ASSERT_TRUE(counting->wait_for_reads(1));
  }
  EXPECT_FALSE(state.expired());
  counting->open_gate();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!state.expired() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_TRUE(state.expired());
  // The parse cache held the file system; with the state gone, only we do.
  while (counting.use_count() > 1 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_EQ(counting.use_count(), 1);
  EXPECT_EQ(counting->total_reads(), paths.size());
}

// A lookup for a path that a worker is computing waits for it and uses its outcome.
TEST(IndexWorkers, LookupWaitsForTheWorkersComputation) {
  auto counting = std::make_shared<CountingFileSystem>();
  const auto paths = add_files(*counting, 1);
  auto recording = std::make_shared<ThreadRecordingFileSystem>(counting);
  const AstProjectIndex index = AstProjectIndex::with_filesystem("/proj", paths, recording);
  counting->close_gate();
  index.nonblocking_start_index();
  ASSERT_TRUE(counting->wait_for_reads(1));

  std::optional<ResolverAST> found;
  std::thread::id lookup_thread;
  std::thread lookup([&] {
    lookup_thread = std::this_thread::get_id();
    found = index.function_ast_in_file(paths[0], "f0");
  });
  counting->open_gate();
  lookup.join();
  ASSERT_TRUE(wait_for_workers(index));
  EXPECT_TRUE(found.has_value());
  ASSERT_EQ(recording->reads().size(), 1u);
  EXPECT_NE(recording->reads()[0].second, lookup_thread);
}

// Lookups on eight threads race the workers over one list: every path is
// read and parsed once, all see the same outcome, and nothing deadlocks.
TEST(IndexWorkers, ConcurrentLookupsAndWorkersComputeEachPathOnce) {
  constexpr size_t kFiles = 48;
  constexpr int kThreads = 8;
  auto counting = std::make_shared<CountingFileSystem>();
  auto paths = add_files(*counting, kFiles);
  paths.push_back(paths[3]);  // a duplicate entry
  counting->add_error("/proj/gone.py", "Permission denied (os error 13)");
  paths.push_back("/proj/gone.py");
  const AstProjectIndex index = AstProjectIndex::with_filesystem("/proj", paths, counting);

  std::vector<std::vector<const ParsedAstFile*>> seen(kThreads, std::vector<const ParsedAstFile*>(kFiles));
  std::vector<size_t> found(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (size_t step = 0; step < kFiles; ++step) {
        // Each thread walks the list from a different place and in a different direction.
        const size_t i = t % 2 ? (step + t * 7) % kFiles : (kFiles - 1 - (step + t * 5) % kFiles);
        const std::string n = std::to_string(i);
        if (index.resolver_ast("m" + n, "r" + n)) ++found[t];
        if (index.function_ast_in_file(paths[i], "f" + n)) ++found[t];
        const auto file = index.get_parsed_ast_file(paths[i]);
        seen[t][i] = file.ok() ? file->get() : nullptr;
      }
      (void)index.function_ast("nowhere", "f");  // visits every entry
    });
    if (t == 0) index.nonblocking_start_index();
  }
  for (auto& thread : threads) thread.join();
  ASSERT_TRUE(wait_for_workers(index));

  for (int t = 0; t < kThreads; ++t) {
    EXPECT_EQ(found[t], 2 * kFiles) << t;
    for (size_t i = 0; i < kFiles; ++i) {
      ASSERT_NE(seen[t][i], nullptr);
      EXPECT_EQ(seen[t][i], seen[0][i]) << i;
    }
  }
  for (size_t i = 0; i < kFiles; ++i) EXPECT_EQ(counting->reads(paths[i]), 1u) << paths[i];
  EXPECT_EQ(counting->reads("/proj/gone.py"), 1u);
  EXPECT_EQ(counting->total_reads(), kFiles + 1);
}

}  // namespace
}  // namespace tymbe::ast
