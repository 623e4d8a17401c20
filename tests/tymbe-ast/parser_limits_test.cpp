// Inputs at the parser's limits: nesting up to and past its bound on a
// worker-sized stack, long chains that do not nest, and texts too long for
// 32-bit offsets.
#include <gtest/gtest.h>
#include <pthread.h>

#include <cstdint>
#include <functional>
#include <string>

#include "parser/python_parser.h"
#include "parser/source_text.h"
#include "tymbe_ast/parser.h"

namespace tymbe::ast {
namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
constexpr bool kAddressSanitizer = __has_feature(address_sanitizer);
#else
constexpr bool kAddressSanitizer = false;
#endif

// The index's workers have 2 MiB stacks. The sanitizer makes every frame
// several times larger, so its builds get proportionally more.
constexpr size_t kWorkerStack = (kAddressSanitizer ? 8u : 2u) << 20;

// Runs `fn` on a thread with a worker's stack.
void on_worker_stack(std::function<void()> fn) {
  pthread_attr_t attr;
  ASSERT_EQ(pthread_attr_init(&attr), 0);
  ASSERT_EQ(pthread_attr_setstacksize(&attr, kWorkerStack), 0);
  pthread_t thread;
  auto trampoline = [](void* arg) -> void* {
    (*static_cast<std::function<void()>*>(arg))();
    return nullptr;
  };
  ASSERT_EQ(pthread_create(&thread, &attr, trampoline, &fn), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attr);
}

std::string repeat(std::string_view part, size_t n) {
  std::string out;
  out.reserve(part.size() * n);
  for (size_t i = 0; i < n; ++i) out += part;
  return out;
}

// The parse's outcome on a worker stack: "" or the error's message.
std::string parse_on_worker(const std::string& source) {
  std::string result = "<not run>";
  on_worker_stack([&] {
    const Result<Module, ParseError> module = parse_module(source);
    result = module ? "" : module.error().message();
  });
  return result;
}

// Each construct nested `n` times.
std::vector<std::pair<const char*, std::string>> nested(size_t n) {
  std::string blocks;
  for (size_t i = 0; i < n; ++i) blocks += std::string(i, ' ') + "if x:\n";
  blocks += std::string(n, ' ') + "pass\n";
  return {
      {"parentheses", "x = " + repeat("(", n) + "1" + repeat(")", n) + "\n"},
      {"lists", "x = " + repeat("[", n) + "1" + repeat("]", n) + "\n"},
      {"dicts", "x = " + repeat("{1: ", n) + "1" + repeat("}", n) + "\n"},
      {"calls", "x = " + repeat("f(a=", n) + "1" + repeat(")", n) + "\n"},
      {"subscripts", "x = " + repeat("a[", n) + "1" + repeat("]", n) + "\n"},
      {"unary", "x = " + repeat("-", n) + "1\n"},
      {"not", "x = " + repeat("not ", n) + "1\n"},
      {"power", "x = " + repeat("2 ** ", n) + "1\n"},
      {"conditional", "x = " + repeat("1 if c else ", n) + "1\n"},
      {"lambda", "x = " + repeat("lambda: ", n) + "1\n"},
      {"f-strings", "x = " + repeat("f\"{", n) + "1" + repeat("}\"", n) + "\n"},
      {"blocks", blocks},
      {"patterns", "match x:\n case " + repeat("[", n) + "1" + repeat("]", n) + ":\n  pass\n"},
  };
}

TEST(ParserLimits, AThousandOfEachNestParseOnAWorkerStack) {
  for (const auto& [what, source] : nested(parser::kMaxNesting)) {
    EXPECT_EQ(parse_on_worker(source), "") << what;
  }
}

TEST(ParserLimits, OneMoreIsRefusedWithAnErrorThatSaysSo) {
  for (const auto& [what, source] : nested(parser::kMaxNesting + 1)) {
    EXPECT_EQ(parse_on_worker(source).rfind("Nesting too deep", 0), 0u) << what;
  }
}

TEST(ParserLimits, FarBeyondTheBoundIsRefusedNotCrashed) {
  const std::string sources[] = {
      "x = " + repeat("(", 200000) + "1" + repeat(")", 200000) + "\n",
      "x = " + repeat("(", 200000) + "1\n",
      "x = " + repeat("-", 200000) + "\n",
      "x = " + repeat("[x for x in ", 100000) + "\n",
      "x = " + repeat("f\"{", 100000) + "\n",
      "x = " + repeat("lambda a, b: ", 100000) + "\n",
      "x = " + repeat("a ** ", 200000) + "1\n",
      "match x:\n case " + repeat("1 + ", 200000) + "1:\n  pass\n",
  };
  for (const std::string& source : sources) {
    EXPECT_EQ(parse_on_worker(source).rfind("Nesting too deep", 0), 0u) << source.substr(0, 30);
  }
}

TEST(ParserLimits, LongChainsAndListsDoNotNest) {
  struct Case {
    const char* what;
    std::string source;
    ExprKind value_kind;
  };
  const Case cases[] = {
      {"sum", "x = 1" + repeat(" + 1", 500000) + "\n", ExprKind::BinOp},
      {"comparisons", "x = 1" + repeat(" < 1", 300000) + "\n", ExprKind::Compare},
      {"and", "x = a" + repeat(" and a", 300000) + "\n", ExprKind::BoolOp},
      {"attributes", "x = a" + repeat(".b", 300000) + "\n", ExprKind::Attribute},
      {"calls", "x = f" + repeat("()", 300000) + "\n", ExprKind::Call},
      {"list", "x = [" + repeat("1, ", 300000) + "]\n", ExprKind::List},
      {"strings", "x = " + repeat("'a' ", 300000) + "\n", ExprKind::StringLiteral},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ExprKind kind{};
    std::string error = "<not run>";
    on_worker_stack([&] {
      const Result<Module, ParseError> module = parse_module(c.source);
      error = module ? "" : module.error().message();
      if (module) kind = module->expr(module->assign(module->stmt(module->stmt_lists[0])).value).kind;
    });
    EXPECT_EQ(error, "");
    EXPECT_EQ(kind, c.value_kind);
  }
  std::string elifs = "if a:\n  pass\n" + repeat("elif a:\n  pass\n", 100000);
  std::string statements = repeat("x = 1\n", 300000);
  EXPECT_EQ(parse_on_worker(elifs), "");
  EXPECT_EQ(parse_on_worker(statements), "");
}

TEST(ParserLimits, SourcesOf4GiBAreRefused) {
  EXPECT_FALSE(parser::check_source_size(UINT32_MAX));
  const auto refused = parser::check_source_size(uint64_t{1} << 32);
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->message(),
            "Source of 4294967296 bytes is too large: byte offsets are 32-bit, so a source must be below 4 GiB "
            "at byte range 0..0");
}

}  // namespace
}  // namespace tymbe::ast
