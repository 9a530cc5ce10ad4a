#pragma once

namespace common {

// Keeps a flag raised for the time of a scope, however the scope ends: "a load is ticking the box", "a check is
// under way", "the list is being filled".
class ScopedFlag {
public:
    explicit ScopedFlag(bool& flag) : m_flag(flag) { m_flag = true; }
    ~ScopedFlag() { m_flag = false; }
    ScopedFlag(const ScopedFlag&) = delete;
    ScopedFlag& operator=(const ScopedFlag&) = delete;

private:
    bool& m_flag;
};

} // namespace common
