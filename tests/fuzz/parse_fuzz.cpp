// libFuzzer entry over parse_module, build_import_map and the extraction,
// with the invariants of fuzz_common.h: any input, as it is or with the
// package's imports in front of it, must parse or fail cleanly and extract
// records that hold together. Half of the mutations are libFuzzer's own, half
// the line- and fragment-level ones of the seeded fuzz run. Built under
// clang's -fsanitize=fuzzer with ASan and UBSan; how to run it by hand is in
// tests/fuzz/CMakeLists.txt.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <string_view>

#include "fuzz_common.h"

extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t max_size);

namespace {

tymbe_fuzz::Stats stats;

void check(std::string_view input) {
  if (const std::optional<std::string> problem = tymbe_fuzz::check_one(input, true, stats)) {
    std::fprintf(stderr, "invariant broken: %s\n", problem->c_str());
    std::abort();  // libFuzzer saves the input as crash-<hash>
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  // One parse per input: every other length gets the package's imports in
  // front, so that the resolver and feature-class paths run as often.
  if (size % 2) {
    check(std::string(tymbe_fuzz::kPackageImports).append(input));
  } else {
    check(input);
  }
  return 0;
}

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t max_size, unsigned int seed) {
  if (seed % 2 == 0) return LLVMFuzzerMutate(data, size, max_size);
  std::mt19937_64 rng(seed);
  std::string text = tymbe_fuzz::mutate(std::string(reinterpret_cast<const char*>(data), size), rng);
  if (text.size() > max_size) text.resize(max_size);
  std::memcpy(data, text.data(), text.size());
  return text.size();
}
