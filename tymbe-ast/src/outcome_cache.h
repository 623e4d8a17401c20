#pragma once
// A map from path string to slot, each slot holding an outcome (a value or a
// message) that is computed once and kept for good. Shared by the parse cache
// and the project index, which differ only in what they compute and in the
// texts of their lock messages.
//
// The map's reader-writer lock is held only to find or insert a slot and is
// released before the slot's mutex is taken; the slot's mutex is held for the
// whole computation, so concurrent requests for one path wait for one result
// while other paths proceed. An exception out of a computation poisons the
// slot (it stays not computed) and goes on to the caller.
//
// A request runs inside the fork gate, so a fork never finds the map's lock
// taken or a computation halfway through storing its outcome. It steps outside
// only to wait for a slot, and the computation may step outside for a read;
// the slot mutexes are fork-aware, so a child forked meanwhile takes those
// slots over and computes them itself.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <variant>

#include "poison_lock.h"
#include "tymbe_utils/fork_safety.h"
#include "tymbe_utils/result.h"

namespace tymbe::ast {

template <class Value>
class OutcomeCache {
 public:
  // Set once, from absent, and never changed again.
  using Outcome = std::variant<Value, std::string>;

  // `map_poisoned` is the whole message for a poisoned map; the path is
  // appended to `slot_poisoned_prefix` for a poisoned slot. Both must outlive
  // the cache (string literals).
  OutcomeCache(std::string_view map_poisoned, std::string_view slot_poisoned_prefix)
      : map_poisoned_(map_poisoned), slot_poisoned_prefix_(slot_poisoned_prefix) {}
  OutcomeCache(const OutcomeCache&) = delete;
  OutcomeCache& operator=(const OutcomeCache&) = delete;

  // The stored outcome for `path` (exact bytes), computing it with
  // `compute()` -> Outcome when the slot is new or still absent.
  template <class Compute>
  Result<Value> get_or_compute(std::string_view path, Compute&& compute) {
    const utils::InsideForkGate inside;
    const std::shared_ptr<Slot> slot = find_or_insert(path);
    if (!slot) return Failure{std::string(map_poisoned_)};

    auto state = slot->state.lock();
    if (state.poisoned()) {
      std::string message;
      message.reserve(slot_poisoned_prefix_.size() + path.size());
      message.append(slot_poisoned_prefix_).append(path);
      return Failure{std::move(message)};
    }
    if (!state->has_value()) state->emplace(std::forward<Compute>(compute)());
    if (const auto* value = std::get_if<Value>(&**state)) return *value;
    return Failure{std::get<std::string>(**state)};
  }

 private:
  struct Slot {
    PoisonMutex<std::optional<Outcome>> state;
  };

  // Keyed by the path exactly as requested: byte equality, no path rules.
  struct ExactHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const noexcept { return std::hash<std::string_view>{}(text); }
  };
  using SlotMap = std::unordered_map<std::string, std::shared_ptr<Slot>, ExactHash, std::equal_to<>>;

  // The slot for `path`, inserted when new; null when the map's lock is poisoned.
  std::shared_ptr<Slot> find_or_insert(std::string_view path) {
    {
      auto map = slots_.read();
      if (map.poisoned()) return nullptr;
      if (auto it = map->find(path); it != map->end()) return it->second;
    }
    auto map = slots_.write();
    if (map.poisoned()) return nullptr;
    // Another request may have inserted the slot between the two locks.
    auto it = map->find(path);
    if (it == map->end()) it = map->emplace(std::string(path), std::make_shared<Slot>()).first;
    return it->second;
  }

  std::string_view map_poisoned_;
  std::string_view slot_poisoned_prefix_;
  PoisonRwLock<SlotMap> slots_;
};

}  // namespace tymbe::ast
