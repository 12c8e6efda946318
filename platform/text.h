// Internal: ASCII case folding for names that meet without regard to case
// (paths, registry keys, queue, device and window names, message names).
// Only A-Z and a-z fold; other bytes, UTF-8 included, compare as they are.
#pragma once

#include <string>

namespace ce::detail {

inline char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

inline std::string asciiLower(std::string s)
{
    for (char& c : s)
        c = asciiLower(c);
    return s;
}

inline std::string asciiUpper(std::string s)
{
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return s;
}

inline bool equalsNoCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    return true;
}

} // namespace ce::detail
