// A join that overruns its bound fails the test that caused it: the line the
// platform logs for it is watched in every test program. A test that means
// to overrun says so for the lines it causes.
#pragma once

namespace kivo::test {

class ExpectedJoinOverrun {
public:
    ExpectedJoinOverrun();
    ~ExpectedJoinOverrun();
    ExpectedJoinOverrun(const ExpectedJoinOverrun&) = delete;
    ExpectedJoinOverrun& operator=(const ExpectedJoinOverrun&) = delete;
    // Overrun lines seen while this lives.
    int seen() const;

private:
    int m_start;
};

} // namespace kivo::test
