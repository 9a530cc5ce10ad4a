#pragma once
// The published PBKDF2-HMAC-SHA256 test vectors (the classic SHA-1 set recomputed for SHA-256, and the two of the
// scrypt paper), and the SHA-256 examples of FIPS 180-2, shared by the unit test of the native crypto and the e2e
// check of the system's.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace test_vectors {

struct Pbkdf2Vector {
    std::string password;
    std::string salt;
    std::uint32_t iterations;
    std::size_t length;
    const char* expected; // the derived key in lower-case hex
};

struct Sha256Vector {
    std::string message;
    const char* expected; // the digest in lower-case hex
};

inline const Sha256Vector kSha256Vectors[] = {
    {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
    {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
    {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
     "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
};

inline const Pbkdf2Vector kPbkdf2Vectors[] = {
    {"password", "salt", 1, 32, "120fb6cffcf8b32c43e7225256c4f837a86548c92ccc35480805987cb70be17b"},
    {"password", "salt", 2, 32, "ae4d0c95af6b46d32d0adff928f06dd02a303f8ef3c251dfd6e2d85a95474c43"},
    {"password", "salt", 4096, 32, "c5e478d59288c841aa530db6845c4c8d962893a001ce4e11a4963873aa98134a"},
    {"passwordPASSWORDpassword", "saltSALTsaltSALTsaltSALTsaltSALTsalt", 4096, 40,
     "348c89dbcbd32b2f32d814b8116e84cf2b17347ebc1800181c4e2a1fb8dd53e1c635518c7dac47e9"},
    {std::string("pass\0word", 9), std::string("sa\0lt", 5), 4096, 16, "89b69d0516f829893c696226650a8687"},
    {"passwd", "salt", 1, 64,
     "55ac046e56e3089fec1691c22544b605f94185216dde0465e68b9d57c20dacbc"
     "49ca9cccf179b645991664b39d77ef317c71b845b1e30bd509112041d3a19783"},
    {"Password", "NaCl", 80000, 64,
     "4ddcd8f60b98be21830cee5ef22701f9641a4418d04c0414aeff08876b34ab56"
     "a1d425a1225833549adb841b51c9b3176a272bdebba1d078478f62b397f33c8d"},
};

// An empty password: the system's call wants a valid pointer even for no bytes.
inline const Pbkdf2Vector kEmptyPasswordVector = {"", "salt", 1, 32,
                                                  "f135c27993baf98773c5cdb40a5706ce6a345cde61b000a67858650cd6a324d7"};

inline std::string Hex(const std::vector<std::uint8_t>& bytes) {
    std::string hex;
    char buf[3];
    for (auto b : bytes) {
        std::snprintf(buf, sizeof buf, "%02x", b);
        hex += buf;
    }
    return hex;
}

} // namespace test_vectors
