#include "tymbe_ast/module_names.h"

#include <cstdint>
#include <functional>
#include <optional>

namespace tymbe::ast {

namespace {

enum class ComponentKind : uint8_t { Root, CurDir, ParentDir, Name };

struct Component {
  ComponentKind kind;
  std::string_view text;  // the piece as written; empty for the root

  friend bool operator==(const Component&, const Component&) = default;
};

// Walks a path's components front to back without allocating.
class Components {
 public:
  explicit Components(std::string_view path) : path_(path) {}

  std::optional<Component> next() {
    if (first_) {
      first_ = false;
      if (!path_.empty() && path_[0] == '/') return Component{ComponentKind::Root, {}};
      if (path_ == "." || path_.starts_with("./")) {
        pos_ = 1;
        return Component{ComponentKind::CurDir, path_.substr(0, 1)};
      }
    }
    while (true) {
      while (pos_ < path_.size() && path_[pos_] == '/') ++pos_;
      if (pos_ >= path_.size()) return std::nullopt;
      size_t end = path_.find('/', pos_);
      if (end == std::string_view::npos) end = path_.size();
      const std::string_view piece = path_.substr(pos_, end - pos_);
      pos_ = end;
      if (piece == ".") continue;
      if (piece == "..") return Component{ComponentKind::ParentDir, piece};
      return Component{ComponentKind::Name, piece};
    }
  }

 private:
  std::string_view path_;
  size_t pos_ = 0;
  bool first_ = true;
};

std::optional<Component> last_component(std::string_view path) {
  Components components(path);
  std::optional<Component> last;
  while (auto c = components.next()) last = c;
  return last;
}

// Length of the UTF-8 sequence at `i` when it is valid (`valid`), or of its
// longest invalid start, which becomes one U+FFFD when the text is repaired.
struct Utf8Step {
  size_t length;
  bool valid;
};

Utf8Step utf8_step(std::string_view text, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  if (lead < 0x80) return {1, true};
  size_t continuation;
  unsigned char low = 0x80, high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    continuation = 1;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    continuation = 2;
    if (lead == 0xE0) low = 0xA0;
    else if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    continuation = 3;
    if (lead == 0xF0) low = 0x90;
    else if (lead == 0xF4) high = 0x8F;
  } else {
    return {1, false};
  }
  for (size_t k = 1; k <= continuation; ++k) {
    if (i + k >= text.size()) return {k, false};
    const unsigned char b = byte(i + k);
    const bool fits = k == 1 ? (b >= low && b <= high) : (b & 0xC0) == 0x80;
    if (!fits) return {k, false};
  }
  return {continuation + 1, true};
}

bool is_valid_utf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    const Utf8Step step = utf8_step(text, i);
    if (!step.valid) return false;
    i += step.length;
  }
  return true;
}

std::string repair_utf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const Utf8Step step = utf8_step(text, i);
    if (step.valid) {
      out.append(text.substr(i, step.length));
    } else {
      out.append("\xEF\xBF\xBD");
    }
    i += step.length;
  }
  return out;
}

std::optional<std::string_view> stem(std::string_view path) {
  const std::optional<Component> last = last_component(path);
  if (!last || last->kind != ComponentKind::Name) return std::nullopt;
  const std::string_view name = last->text;
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return name;
  return name.substr(0, dot);
}

std::string fallback_name(std::string_view path) {
  if (const auto s = stem(path); s && is_valid_utf8(*s)) return std::string(*s);
  return repair_utf8(path);
}

}  // namespace

bool is_absolute_path(std::string_view path) { return path.starts_with('/'); }

std::string join_to_root(std::string_view base, std::string_view path) {
  if (is_absolute_path(path) || base.empty()) return std::string(path);
  std::string joined;
  joined.reserve(base.size() + 1 + path.size());
  joined.append(base);
  if (!base.ends_with('/')) joined.push_back('/');
  joined.append(path);
  return joined;
}

bool paths_equal(std::string_view a, std::string_view b) {
  Components left(a), right(b);
  while (true) {
    const auto l = left.next();
    const auto r = right.next();
    if (l != r) return false;
    if (!l) return true;
  }
}

size_t PathHash::operator()(std::string_view path) const {
  Components components(path);
  size_t hash = 0x9E3779B97F4A7C15ULL;
  while (const auto c = components.next()) {
    const size_t piece = std::hash<std::string_view>{}(c->text) ^ static_cast<size_t>(c->kind);
    hash ^= piece + 0x9E3779B97F4A7C15ULL + (hash << 6) + (hash >> 2);
  }
  return hash;
}

std::string module_name_for_absolute_path(std::string_view path, std::string_view project_root) {
  Components below(path);
  Components root(project_root);
  while (const auto r = root.next()) {
    if (below.next() != r) return fallback_name(path);
  }

  std::string name;
  bool any = false;
  while (const auto c = below.next()) {
    if (c->kind != ComponentKind::Name) continue;
    std::string_view segment = c->text;
    if (!is_valid_utf8(segment)) return fallback_name(path);
    if (segment == "__init__.py") continue;
    if (segment.ends_with(".py")) segment.remove_suffix(3);
    if (any) name.push_back('.');
    name.append(segment);
    any = true;
  }
  return any ? name : fallback_name(path);
}

ModuleNameMap build_module_names(std::string_view project_root, const std::vector<std::string>& files) {
  ModuleNameMap names;
  names.reserve(files.size());
  for (const std::string& file : files) {
    std::string joined = join_to_root(project_root, file);
    std::string name = module_name_for_absolute_path(joined, project_root);
    names.insert_or_assign(std::move(joined), std::move(name));
  }
  return names;
}

}  // namespace tymbe::ast
