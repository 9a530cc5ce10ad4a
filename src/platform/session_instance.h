#pragma once

namespace platform {

// One running copy of the program per user session, by a lock of that session that another program's window
// caption cannot imitate.
class SessionInstance {
public:
    virtual ~SessionInstance() = default;
    // Takes the session's lock; false when another copy holds it (this copy is then a second one).
    virtual bool Claim() = 0;
    // Lets go of it: a copy started from now on is the first instance.
    virtual void Release() = 0;
};

} // namespace platform
