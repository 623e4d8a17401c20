#include "tymbe_ast/locations.h"

#include <uriparser/Uri.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace tymbe::ast {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool is_continuation_byte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Whether uriparser accepts the whole of `text` as one URI. The length-bounded
// entry point is used so that an embedded NUL is refused rather than ending
// the text early.
bool is_valid_uri(std::string_view text) {
  UriUriA uri;
  const char* error_pos = nullptr;
  if (uriParseSingleUriExA(&uri, text.data(), text.data() + text.size(), &error_pos) != URI_SUCCESS) {
    return false;
  }
  uriFreeUriMembersA(&uri);
  return true;
}

std::optional<std::string> resolve_path(std::string_view path) {
  if (!path.empty() && path.front() == '/') return std::string(path);
  if (path.find('\0') != std::string_view::npos) return std::nullopt;
  const std::string request(path);
  std::unique_ptr<char, decltype(&std::free)> resolved(realpath(request.c_str(), nullptr), &std::free);
  if (!resolved) return std::nullopt;
  return std::string(resolved.get());
}

}  // namespace

std::optional<Uri> Uri::parse(std::string text) {
  if (!is_valid_uri(text)) return std::nullopt;
  return Uri(std::make_shared<const std::string>(std::move(text)));
}

LineIndex::LineIndex(std::string_view text) : text_(text) {
  line_starts_.push_back(0);
  const size_t size = text.size();
  for (size_t i = 0; i < size; ++i) {
    const char c = text[i];
    if (c == '\n') {
      line_starts_.push_back(static_cast<uint32_t>(i + 1));
    } else if (c == '\r') {
      if (i + 1 == size || text[i + 1] != '\n') line_starts_.push_back(static_cast<uint32_t>(i + 1));
    } else if (static_cast<unsigned char>(c) >= 0x80) {
      ascii_ = false;
    }
  }
}

uint32_t LineIndex::line(uint32_t offset) const {
  offset = std::min<uint32_t>(offset, static_cast<uint32_t>(text_.size()));
  const auto after = std::upper_bound(line_starts_.begin(), line_starts_.end(), offset);
  return static_cast<uint32_t>(after - line_starts_.begin() - 1);
}

Position LineIndex::position(uint32_t offset) const {
  offset = std::min<uint32_t>(offset, static_cast<uint32_t>(text_.size()));
  const uint32_t line_number = line(offset);
  const uint32_t start = line_starts_[line_number];
  if (ascii_) return {line_number, offset - start};

  uint32_t character = 0;
  for (uint32_t i = start; i < offset; ++i) {
    if (!is_continuation_byte(text_[i])) ++character;
  }
  if (line_number == 0 && character > 0 && text_.starts_with(kByteOrderMark)) --character;
  return {line_number, character};
}

std::optional<Uri> file_uri_for_path(std::string_view path) {
  const std::optional<std::string> resolved = resolve_path(path);
  if (!resolved) return std::nullopt;

  // A non-ASCII byte is never accepted in a URI, so an invalid UTF-8 sequence
  // (which would read as U+FFFD) is refused just as it stands.
  std::string text = "file://";
  text.reserve(text.size() + resolved->size() + 1);
  if (resolved->empty() || (resolved->front() != '/' && resolved->front() != '\\')) text.push_back('/');
  for (const char c : *resolved) {
    if (c == '\\') {
      text.push_back('/');
    } else if (c == ' ') {
      text.append("%20");
    } else {
      text.push_back(c);
    }
  }
  return Uri::parse(std::move(text));
}

std::optional<Location> file_location_for_range(std::string_view path, Range range) {
  std::optional<Uri> uri = file_uri_for_path(path);
  if (!uri) return std::nullopt;
  return Location{std::move(*uri), range};
}

}  // namespace tymbe::ast
