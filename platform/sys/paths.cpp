#include "platform/sys/paths.h"

#include "platform/base/strings.h"

namespace plat {

namespace {

bool is_ascii_letter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool has_drive(std::string_view p) {
    return p.size() >= 2 && is_ascii_letter(p[0]) && p[1] == ':';
}

size_t last_separator(std::string_view p) {
    for (size_t i = p.size(); i-- > 0;)
        if (is_separator(p[i])) return i;
    return std::string_view::npos;
}

} // namespace

std::string native_path(std::string_view path) {
    if (path.empty()) return {};
    std::string out;
    out.reserve(path.size() + 1);
    if (has_drive(path)) {
        out.push_back('/');
        path.remove_prefix(2);
    }
    for (char c : path) {
        if (is_separator(c)) {
            if (out.empty() || out.back() != '/') out.push_back('/');
        } else {
            out.push_back(c);
        }
    }
    if (out.size() > 1 && out.back() == '/') out.pop_back();
    return out;
}

std::string windows_path(std::string_view path) {
    std::string out(path);
    for (char& c : out)
        if (c == '/') c = '\\';
    return out;
}

bool is_absolute_path(std::string_view path) {
    if (!path.empty() && is_separator(path[0])) return true;
    return path.size() >= 3 && has_drive(path) && is_separator(path[2]);
}

bool is_drive_root(std::string_view path) {
    if (path.size() == 1) return is_separator(path[0]);
    if (!has_drive(path)) return false;
    return path.size() == 2 || (path.size() == 3 && is_separator(path[2]));
}

std::string join_path(std::string_view folder, std::string_view name) {
    if (folder.empty()) return std::string(name);
    if (name.empty()) return std::string(folder);
    if (is_absolute_path(name)) return std::string(name);
    std::string out(folder);
    if (!is_separator(out.back())) out.push_back('/');
    out.append(name);
    return out;
}

std::string file_name(std::string_view path) {
    size_t p = last_separator(path);
    if (p == std::string_view::npos) return std::string(has_drive(path) ? path.substr(2) : path);
    return std::string(path.substr(p + 1));
}

std::string parent_path(std::string_view path) {
    size_t p = last_separator(path);
    if (p == std::string_view::npos) return has_drive(path) ? std::string(path.substr(0, 2)) : std::string();
    if (p == 0) return std::string(path.substr(0, 1));
    if (p == 2 && has_drive(path)) return std::string(path.substr(0, 3));
    return std::string(path.substr(0, p));
}

std::string file_extension(std::string_view path) {
    std::string name = file_name(path);
    size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

std::string file_stem(std::string_view path) {
    std::string name = file_name(path);
    size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

void split_path(std::string_view path, std::string& folder, std::string& name) {
    std::string_view p = trim_view(path);
    folder.clear();
    name.assign(p);
    for (size_t i = p.size(); i-- > 0;) {
        if (p[i] == ':') {
            folder.assign(p.substr(0, i + 1));
            name.assign(p.substr(i + 1));
            return;
        }
        if (is_separator(p[i])) {
            folder.assign(p.substr(0, i));
            name.assign(p.substr(i + 1));
            return;
        }
    }
}

void split_file_extension(std::string_view name, std::string& base, std::string& extension) {
    std::string_view n = trim_view(name);
    base.assign(n);
    extension.clear();
    for (size_t i = n.size(); i-- > 0;) {
        if (is_separator(n[i]) || n[i] == ':') return;
        if (n[i] == '.') {
            base.assign(n.substr(0, i));
            extension.assign(n.substr(i + 1));
            return;
        }
    }
}

std::optional<std::string> safe_file_name(std::string_view name) {
    std::string_view n = trim_view(name);
    if (n.empty() || n == "." || n == ".." || n.size() > 255) return std::nullopt;
    for (char c : n) {
        auto u = static_cast<unsigned char>(c);
        if (is_separator(c) || c == ':' || u < 0x20 || u == 0x7f) return std::nullopt;
    }
    return std::string(n);
}

std::optional<std::string> safe_join(std::string_view folder, std::string_view relative) {
    if (is_absolute_path(relative) || has_drive(relative)) return std::nullopt;
    std::string out(folder);
    bool any = false;
    size_t start = 0;
    while (start <= relative.size()) {
        size_t end = start;
        while (end < relative.size() && !is_separator(relative[end]))
            ++end;
        std::string_view element = relative.substr(start, end - start);
        if (!element.empty() && trim_view(element) != ".") {
            auto safe = safe_file_name(element);
            if (!safe) return std::nullopt;
            out = join_path(out, *safe);
            any = true;
        }
        start = end + 1;
    }
    if (!any) return std::nullopt;
    return out;
}

} // namespace plat
