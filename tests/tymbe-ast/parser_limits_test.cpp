// Inputs at the parser's limits: nesting as deep as the text allows, on a
// worker-sized stack, and texts too long for 32-bit offsets.
#include <gtest/gtest.h>
#include <pthread.h>

#include <cstdint>
#include <functional>
#include <string>

#include "parser/source_text.h"
#include "tymbe_ast/parser.h"

namespace tymbe::ast {
namespace {

// Runs `fn` on a thread with a 2 MiB stack, as the index's workers have.
void on_small_stack(std::function<void()> fn) {
  pthread_attr_t attr;
  ASSERT_EQ(pthread_attr_init(&attr), 0);
  ASSERT_EQ(pthread_attr_setstacksize(&attr, 2u << 20), 0);
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

TEST(ParserLimits, DeepNestingParsesConvertsAndFreesOnAWorkerStack) {
  struct Case {
    const char* what;
    std::string source;
    ExprKind value_kind;
  };
  const Case cases[] = {
      {"parentheses", "x = " + repeat("(", 20000) + "1" + repeat(")", 20000) + "\n", ExprKind::NumberLiteral},
      // Left-associative chains and long displays do not nest the parse.
      {"sum", "x = 1" + repeat("+1", 999999) + "\n", ExprKind::BinOp},
      {"list", "x = [" + repeat("1, ", 300000) + "]\n", ExprKind::List},
      // Calls and dicts are converted into their keywords, keys and values.
      {"keyword calls", "x = " + repeat("f(a=", 8000) + "1" + repeat(")", 8000) + "\n", ExprKind::Call},
      {"dicts", "x = " + repeat("{1: ", 8000) + "1" + repeat("}", 8000) + "\n", ExprKind::Dict},
      {"unary", "x = " + repeat("-", 40000) + "1\n", ExprKind::UnaryOp},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string error;
    ExprKind kind{};
    on_small_stack([&] {
      Result<Module, ParseError> module = parse_module(c.source);
      if (!module) {
        error = module.error().message();
        return;
      }
      kind = module->expr(module->assign(module->stmt(module->stmt_lists[0])).value).kind;
    });
    EXPECT_EQ(error, "");
    EXPECT_EQ(kind, c.value_kind);
  }
}

// The grammar's error recovery breaks down over a parse stack of 65536
// entries, so texts that could nest that deep are refused before parsing,
// whether or not they are valid.
TEST(ParserLimits, NestingBeyondTheBoundIsRefusedNotCrashed) {
  const std::string sources[] = {
      "x = " + repeat("(", 100000) + "1" + repeat(")", 100000) + "\n",
      "x = " + repeat("(", 100000) + "1\n",
      "x = " + repeat("-", 70000) + "\n",
      "x = " + repeat("a = ", 40000) + "1 1\n",
      "x = " + repeat("[x for x in ", 30000) + "\n",
      "x = " + repeat("f\"{", 30000) + "\n",
      "x = " + repeat("lambda a, b: ", 30000) + "\n",
  };
  for (const std::string& source : sources) {
    std::string result;
    on_small_stack([&] {
      Result<Module, ParseError> module = parse_module(source);
      result = module ? "<accepted>" : module.error().message();
    });
    EXPECT_EQ(result.rfind("Too deeply nested to parse", 0), 0u) << result;
  }
}

TEST(ParserLimits, DeepNestingBelowTheBoundWithAnErrorIsReported) {
  const std::string sources[] = {
      "x = " + repeat("(", 20000) + "1\n",
      "x = " + repeat("-", 40000) + "1 1\n",
      "x = " + repeat("not ", 40000) + "\n",
  };
  for (const std::string& source : sources) {
    std::string result;
    on_small_stack([&] {
      Result<Module, ParseError> module = parse_module(source);
      result = module ? "<accepted>" : module.error().message();
    });
    EXPECT_NE(result.find(" at byte range "), std::string::npos) << result;
    EXPECT_EQ(result.find("Too deeply nested"), std::string::npos) << result;
  }
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
