#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/subscription.h"
#include "platform/types.h"

namespace platform {

constexpr std::uint32_t kErrorCancelled = 1223; // ERROR_CANCELLED: the user declined the consent prompt

// Hand-over files are named kHandOverPrefix, something unique, kHandOverSuffix.
constexpr const char* kHandOverPrefix = "kestrel-save-";
constexpr const char* kHandOverSuffix = ".tmp";

// How a copy of the program started with administrator rights ended.
struct ElevatedRun {
    enum class Outcome {
        Exited,     // it ran; code is its exit code
        Declined,   // the user declined the consent prompt (or gave no administrator's password)
        NotStarted, // it could not be started; code is the system's error
    };
    Outcome outcome = Outcome::NotStarted;
    std::uint32_t code = 0;
};

// Saving with administrator rights: a hand-over file in the user's temporary folder, and a second copy of this
// program started elevated that takes it.
class Elevation {
public:
    virtual ~Elevation() = default;
    // Writes data to a new file of the user's temporary folder; its path, "" when it could not be made.
    virtual std::string CreateHandOver(const std::vector<std::uint8_t>& data) = 0;
    // Deletes a hand-over file if it is still there (the copy never started, or ended before it took the file).
    virtual void DeleteHandOver(const std::string& path) = 0;
    // The other end: opens the file once, shared with nobody and not through a reparse point, reads all of it
    // and deletes it, whatever it holds. False when it cannot be read so or holds more than maxBytes.
    virtual bool TakeHandOver(const std::string& path, std::size_t maxBytes, std::vector<std::uint8_t>& data) = 0;
    // Starts this program again with administrator rights and these arguments (the system asks for consent, or
    // for an administrator's name and password), without waiting: done runs later on the user-interface thread,
    // once the copy has ended or could not start, unless the token has gone by then. One copy at a time.
    [[nodiscard]] virtual Subscription StartElevated(WindowId owner, const std::string& arguments,
                                                     std::function<void(const ElevatedRun&)> done) = 0;
};

} // namespace platform
