#include "KLDesigner/builder/vb.h"

#include <cmath>
#include <cstdlib>

#include "platform/sys/oledate.h"

namespace kld::vb {

double Val(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    std::string number;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) number += text[i++];
    bool digits = false, point = false;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c >= '0' && c <= '9') {
            number += c;
            digits = true;
        } else if (c == '.' && !point) {
            number += c;
            point = true;
        } else {
            break;
        }
    }
    if (!digits) return 0.0;
    // An exponent counts only when digits follow it.
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        size_t j = i + 1;
        std::string exponent = "e";
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) exponent += text[j++];
        size_t first = j;
        while (j < text.size() && text[j] >= '0' && text[j] <= '9')
            exponent += text[j++];
        if (j > first) number += exponent;
    }
    double v = std::strtod(number.c_str(), nullptr);
    return std::isfinite(v) ? v : 0.0;
}

double Int(double value) {
    return std::floor(value);
}

int32_t CLng(double value) {
    if (!std::isfinite(value)) return 0;
    double r = std::nearbyint(value);
    if (r > 2147483647.0) return INT32_MAX;
    if (r < -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(r);
}

std::string FormatDate(double date) {
    std::string text = plat::format_ole_date(date);
    return text.empty() ? plat::format_ole_date(0.0) : text;
}

std::string Trim(std::string_view text) {
    size_t b = text.find_first_not_of(' ');
    if (b == std::string_view::npos) return {};
    size_t e = text.find_last_not_of(' ');
    return std::string(text.substr(b, e - b + 1));
}

bool IsBlank(std::string_view text) {
    return text.find_first_not_of(' ') == std::string_view::npos;
}

} // namespace kld::vb
