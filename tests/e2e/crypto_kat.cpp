// Checks the system's PBKDF2-HMAC-SHA256 and random source, as the program uses them, against the published
// test vectors. Prints one "PASS ..." or "FAIL ..." line per check; the exit code is the number of failures.
#include <cstdio>
#include <string>
#include <vector>

#include "common/password.h"
#include "common/pbkdf2_vectors.h"
#include "platform/win32/win32_crypto.h"

namespace {

using test_vectors::Hex;
using test_vectors::Pbkdf2Vector;

int g_failures = 0;

void Report(bool ok, const std::string& what) {
    std::printf("%s %s\n", ok ? "PASS" : "FAIL", what.c_str());
    if (!ok)
        ++g_failures;
}

} // namespace

int main() {
    platform::win32::Win32Crypto crypto;

    auto checkVector = [&crypto](const Pbkdf2Vector& v) {
        std::vector<std::uint8_t> out;
        bool ran = crypto.Pbkdf2Sha256(v.password, {v.salt.begin(), v.salt.end()}, v.iterations, v.length, out);
        std::string got = ran ? Hex(out) : "(refused)";
        std::string name = "pbkdf2 \"" + std::string(v.password.c_str()) + "\" c=" + std::to_string(v.iterations) +
                           " len=" + std::to_string(v.length);
        Report(ran && got == v.expected, name + (got == v.expected ? "" : " got " + got));
    };
    for (const auto& v : test_vectors::kPbkdf2Vectors)
        checkVector(v);
    checkVector(test_vectors::kEmptyPasswordVector);

    for (const auto& v : test_vectors::kSha256Vectors) {
        std::vector<std::uint8_t> digest;
        const bool ran = crypto.Sha256({v.message.begin(), v.message.end()}, digest);
        const std::string got = ran ? Hex(digest) : "(refused)";
        Report(got == v.expected,
               "sha256 \"" + v.message.substr(0, 8) + "\"" + (got == v.expected ? "" : " got " + got));
    }

    std::vector<std::uint8_t> out{1};
    Report(!crypto.Pbkdf2Sha256("password", {'s'}, 0, 32, out) && out.empty(), "zero iterations refused");

    std::vector<std::uint8_t> a, b;
    Report(crypto.RandomBytes(16, a) && crypto.RandomBytes(16, b) && a.size() == 16 && a != b, "random bytes");

    // The password as the program keeps it, end to end on the system's crypto (at the real cost).
    common::Password password(crypto);
    password.Set("Secret");
    std::string stored = password.StoredForm();
    common::Password reloaded(crypto);
    reloaded.LoadStored(stored);
    Report(common::Password::Parse(stored).has_value() && reloaded.Matches("Secret") && !reloaded.Matches("secret") &&
               !reloaded.IsDefault(),
           "password hash round trip " + stored.substr(0, 22) + "...");

    std::printf("%s: %d failure(s)\n", g_failures == 0 ? "PASS all" : "FAIL", g_failures);
    return g_failures;
}
