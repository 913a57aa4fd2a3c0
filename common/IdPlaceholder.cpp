#include "IdPlaceholder.h"

#include <limits>

bool IsIdPlaceholder(std::string_view placeholder)
{
    return placeholder.size() >= 3 && placeholder[1] == 'I' && placeholder[2] == 'D';
}

long long IdPlaceholderCount(std::string_view placeholder)
{
    std::size_t i = 3;
    const auto at = [&](std::size_t k) { return k < placeholder.size() ? placeholder[k] : '\0'; };
    while (at(i) == ' ' || (at(i) >= '\t' && at(i) <= '\r'))
        ++i;
    bool negative = false;
    if (at(i) == '+' || at(i) == '-') {
        negative = at(i) == '-';
        ++i;
    }
    // Saturate like strtol: a count beyond any number's length means "all of it".
    constexpr long long limit = std::numeric_limits<long long>::max() / 10 - 1;
    long long n = 0;
    while (at(i) >= '0' && at(i) <= '9') {
        if (n < limit)
            n = n * 10 + (at(i) - '0');
        ++i;
    }
    return negative ? -n : n;
}

std::string IdPlaceholderValue(std::string_view number, long long count)
{
    const auto length = static_cast<long long>(number.size());
    if (count == 0 || count >= length || -count >= length)
        return std::string(number);
    if (count > 0)
        return std::string(number.substr(0, std::size_t(count)));
    return std::string(number.substr(std::size_t(length + count)));
}
