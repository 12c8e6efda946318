#include "tests/support/join_overrun.h"

#include "platform/debug.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>

namespace kivo::test {

namespace {

std::atomic<int> g_expected { 0 };
std::atomic<int> g_seen { 0 };

// What the platform and the programs log when a thread outlives its join.
bool isOverrun(const std::string& line)
{
    return line.find("thread did not end within") != std::string::npos
        || line.find("did not return within") != std::string::npos;
}

class Watch : public ::testing::Environment {
public:
    void SetUp() override
    {
        m_hook = ce::addDebugOutputHook([](const std::string& line) {
            if (!isOverrun(line))
                return;
            if (g_expected.load() > 0)
                ++g_seen;
            else
                ADD_FAILURE() << "a join overran its bound: " << line;
        });
    }
    void TearDown() override { ce::removeDebugOutputHook(m_hook); }

private:
    int m_hook = 0;
};

const bool g_installed = (::testing::AddGlobalTestEnvironment(new Watch), true);

} // namespace

ExpectedJoinOverrun::ExpectedJoinOverrun()
    : m_start(g_seen.load())
{
    (void)g_installed;
    ++g_expected;
}

ExpectedJoinOverrun::~ExpectedJoinOverrun()
{
    --g_expected;
}

int ExpectedJoinOverrun::seen() const
{
    return g_seen.load() - m_start;
}

} // namespace kivo::test
