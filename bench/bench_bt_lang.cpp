// Loading a LANGUAGE.ini of many sections (a section and a key each, the last
// section opened a second time). The floor reads the same text the plainest
// way: lines split, sections found by name in a hash map, keys appended.
#include "bt/lang/config_file.h"

#include <benchmark/benchmark.h>

#include <list>
#include <string>
#include <unordered_map>

namespace {

std::string manySections(int count)
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += "[S" + std::to_string(i) + "]\r\nk=" + std::to_string(i) + "\r\n";
    text += "[S0]\r\nlate=1\r\n";
    return text;
}

void BM_IniLoadSections(benchmark::State& state)
{
    const std::string text = manySections(int(state.range(0)));
    for (auto _ : state) {
        kivo::bt::CeConfigFileManager ini;
        ini.Parse(text);
        benchmark::DoNotOptimize(ini.SectionCount());
    }
}
BENCHMARK(BM_IniLoadSections)->Arg(1000)->Arg(40000)->Unit(benchmark::kMillisecond);

void BM_IniLoadSections_Floor(benchmark::State& state)
{
    const std::string text = manySections(int(state.range(0)));
    for (auto _ : state) {
        std::unordered_map<std::string, std::list<std::pair<std::string, std::string>>> sections;
        std::list<std::pair<std::string, std::string>>* current = nullptr;
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find('\n', start);
            if (end == std::string::npos)
                end = text.size();
            std::string line = text.substr(start, end - start);
            start = end + 1;
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
                current = &sections[line.substr(1, line.size() - 2)];
            } else if (current) {
                const size_t eq = line.find('=');
                if (eq != std::string::npos)
                    current->emplace_back(line.substr(0, eq), line.substr(eq + 1));
            }
        }
        benchmark::DoNotOptimize(sections.size());
    }
}
BENCHMARK(BM_IniLoadSections_Floor)->Arg(1000)->Arg(40000)->Unit(benchmark::kMillisecond);

} // namespace
