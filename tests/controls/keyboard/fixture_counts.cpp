#include "tests/controls/keyboard/fixture_counts.h"

#include <map>

namespace {

std::map<std::string, FixtureCounts>& table()
{
    static std::map<std::string, FixtureCounts> counts;
    return counts;
}

} // namespace

FixtureCounts& fixtureCounts(const std::string& base)
{
    return table()[base];
}

void resetFixtureCounts()
{
    table().clear();
}
