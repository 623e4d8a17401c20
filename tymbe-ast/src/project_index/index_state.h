#pragma once
// The project index's shared state and its background workers, with the two
// platform calls that start them (processor count, thread start) replaceable
// so that tests can fix the count and watch or refuse each start.

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <string_view>

#include "outcome_cache.h"
#include "tymbe_ast/parser_cache.h"
#include "tymbe_ast/project_index.h"

namespace tymbe::ast {

using ParsedAstFileHandle = std::shared_ptr<const ParsedAstFile>;

struct AstProjectIndexInner {
  explicit AstProjectIndexInner(AstFileParserCache cache) : parser_cache(std::move(cache)) {}

  AstFileParserCache parser_cache;
  OutcomeCache<ParsedAstFileHandle> typed_entries{"typed AST entry map lock poisoned",
                                                  "typed AST cache lock poisoned for "};
  std::atomic<bool> index_started{false};
};

// The analysis of `path`, computed once per index and path string.
Result<ParsedAstFileHandle> parsed_ast_file(AstProjectIndexInner& inner, std::string_view path);

// What one background worker is started with; the worker owns it.
struct IndexWorkerTask {
  std::shared_ptr<const AstProjectIndex::FileList> files;
  std::shared_ptr<AstProjectIndexInner> inner;
  size_t worker_count = 1;
  size_t worker_number = 0;
};

// Fills the slots of positions worker_number, worker_number + worker_count, ...
// of the list. Failures of single files stay in their slots; an internal
// failure propagates.
void run_index_worker(const IndexWorkerTask& task);

struct WorkerPlatform {
  // The number of online processors; 0 or less when it cannot be had.
  std::function<long()> online_processors;
  // Starts a detached thread that runs the task. On success the thread has
  // taken the task over (`task` is left empty) and the result is 0; otherwise
  // the result is the error number and the task stays with the caller.
  std::function<int(std::unique_ptr<IndexWorkerTask>& task)> spawn_detached;
};

long system_online_processors();
// A detached pthread with a 2 MiB stack running run_index_worker; an internal
// failure ends that thread only, with a line on stderr.
int spawn_detached_worker(std::unique_ptr<IndexWorkerTask>& task);
const WorkerPlatform& system_worker_platform();

struct ProjectIndexAccess {
  static void start_index(const AstProjectIndex& index, const WorkerPlatform& platform);
  static const std::shared_ptr<AstProjectIndexInner>& inner(const AstProjectIndex& index) { return index.inner_; }
};

}  // namespace tymbe::ast
