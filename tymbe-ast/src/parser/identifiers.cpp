#include "parser/identifiers.h"

#include <unicode/normalizer2.h>
#include <unicode/unistr.h>

#include <algorithm>

#include "tymbe_utils/result.h"

namespace tymbe::ast::parser {

namespace {

const icu::Normalizer2& nfkc() {
  static const icu::Normalizer2* instance = [] {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* n = icu::Normalizer2::getNFKCInstance(status);
    if (U_FAILURE(status) || n == nullptr) throw InternalError("ICU NFKC normalizer unavailable");
    return n;
  }();
  return *instance;
}

}  // namespace

void append_identifier(std::string_view source_text, std::string& out) {
  const bool ascii =
      std::all_of(source_text.begin(), source_text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (ascii) {
    out.append(source_text);
    return;
  }
  UErrorCode status = U_ZERO_ERROR;
  const icu::UnicodeString normalized = nfkc().normalize(
      icu::UnicodeString::fromUTF8(icu::StringPiece(source_text.data(), static_cast<int32_t>(source_text.size()))),
      status);
  if (U_FAILURE(status)) throw InternalError("NFKC normalization failed");
  normalized.toUTF8String(out);
}

}  // namespace tymbe::ast::parser
