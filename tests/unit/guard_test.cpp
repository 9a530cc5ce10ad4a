// The guard's side of the channel: the messages it takes, how fast passwords may be tried, what it writes, and when
// it starts a session's copy again.
#include <gtest/gtest.h>

#include "common/guard_protocol.h"
#include "common/password.h"
#include "guard/guard_requests.h"
#include "guard/restart_policy.h"
#include "platform/fake/fake_registry.h"
#include "platform/native/openssl_crypto.h"
#include "store/item_rows.h"
#include "store/save_request.h"
#include "store/settings.h"

namespace {

using common::GuardAnswer;
using common::GuardResponse;
using common::GuardVerb;
using Bytes = std::vector<std::uint8_t>;

Bytes BytesOf(const std::string& text) {
    return {text.begin(), text.end()};
}

TEST(GuardProtocol, TakesWhatKestrelSendsAndNothingElse) {
    const common::GuardRequest exit{GuardVerb::Exit, "Pass word\n%", {}};
    const auto parsed = common::ParseRequest(common::EncodeRequest(exit));
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->password, exit.password);
    EXPECT_EQ(parsed->verb, GuardVerb::Exit);

    const std::string header = "kestrel-guard 1\n";
    const struct {
        const char* what;
        Bytes bytes;
    } refused[] = {
        {"nothing", {}},
        {"no header", BytesOf("exit\nPASSAGE\n")},
        {"another version", BytesOf("kestrel-guard 2\nexit\nPASSAGE\n")},
        {"another verb", BytesOf(header + "run\nPASSAGE\n")},
        {"cut before the password", BytesOf(header + "exit\n")},
        {"a password line not ended", BytesOf(header + "exit\nPASSAGE")},
        {"a bare control character", BytesOf(header + "exit\nPASS\rAGE\n")},
        {"an exit with more", BytesOf(header + "exit\nPASSAGE\nItem0 x,1\n")},
        {"a save with nothing to save", BytesOf(header + "save\nPASSAGE\n")},
        {"oversized", BytesOf(header + "save\nPASSAGE\n" + std::string(common::kMaxGuardMessage, 'x'))},
        {"binary junk", Bytes{0xFF, 0x00, 0x0A, 0x80, 0x0A, 0x0A}},
    };
    for (const auto& c : refused)
        EXPECT_FALSE(common::ParseRequest(c.bytes)) << c.what;

    for (const GuardResponse response : {GuardResponse{GuardAnswer::Done, 0}, GuardResponse{GuardAnswer::Wait, 30},
                                         GuardResponse{GuardAnswer::Failed, 5}, GuardResponse{GuardAnswer::Refused, 0},
                                         GuardResponse{GuardAnswer::WrongPassword, 0}})
        EXPECT_EQ(common::ParseResponse(common::EncodeResponse(response)), response);
    EXPECT_FALSE(common::ParseResponse(BytesOf(header + "wait 030\n")));
    EXPECT_FALSE(common::ParseResponse(BytesOf(header + "ok\nmore\n")));
}

class GuardTest : public ::testing::Test {
protected:
    void SetUp() override {
        common::Password password(crypto, 10);
        password.Set("Kite9");
        api.PutString(platform::RegRoot::LocalMachine, store::kSettingsKey, store::kPasswordValue,
                      password.StoredForm());
    }
    GuardResponse Send(std::uint32_t session, GuardVerb verb, const std::string& password, Bytes payload = {}) {
        return guard.Handle(session, common::EncodeRequest({verb, password, std::move(payload)}), now);
    }

    platform::fake::FakeRegistry api;
    store::Registry registry{api};
    platform::native::OpenSslCrypto crypto;
    std::vector<std::uint32_t> exits;
    guard::GuardRequests guard{registry, crypto, nullptr, [this](std::uint32_t session) { exits.push_back(session); }};
    std::uint64_t now = 1000000;
};

TEST_F(GuardTest, FiveWrongPasswordsFromASessionThenOnlyWaitForThirtySeconds) {
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(Send(1, GuardVerb::Exit, "guess" + std::to_string(i)).answer, GuardAnswer::WrongPassword);
    EXPECT_EQ(Send(1, GuardVerb::Exit, "Kite9"), (GuardResponse{GuardAnswer::Wait, 30})) << "not even checked";
    EXPECT_TRUE(exits.empty());
    EXPECT_EQ(Send(2, GuardVerb::Exit, "Kite9").answer, GuardAnswer::Done) << "another session is not kept waiting";
    now += 29500;
    EXPECT_EQ(Send(1, GuardVerb::Exit, "Kite9"), (GuardResponse{GuardAnswer::Wait, 1}));
    now += 500;
    EXPECT_EQ(Send(1, GuardVerb::Exit, "Kite9").answer, GuardAnswer::Done);
    EXPECT_EQ(exits, (std::vector<std::uint32_t>{2, 1}));
}

TEST_F(GuardTest, WritesAChangeOfTheStoresOwnValuesOnlyWithTheStoredPassword) {
    store::SaveRequest change;
    change.items = std::vector<std::string>{"Casino,1"};
    const Bytes payload = store::Serialize(change);
    EXPECT_EQ(Send(1, GuardVerb::Save, "PASSAGE", payload).answer, GuardAnswer::WrongPassword);
    EXPECT_FALSE(api.GetString(platform::RegRoot::LocalMachine, store::kLockedItemsKey, "Item0"));

    EXPECT_EQ(Send(1, GuardVerb::Save, "Kite9", payload).answer, GuardAnswer::Done);
    EXPECT_EQ(api.GetString(platform::RegRoot::LocalMachine, store::kLockedItemsKey, "Item0"), "Casino,1");
    EXPECT_TRUE(exits.empty()) << "a save grants no exit";

    // Something else than the store's own values, with the right password: nothing is written.
    EXPECT_EQ(Send(1, GuardVerb::Save, "Kite9", BytesOf("kestrel-save 1\nitems\nRun C:\\evil.exe\nend\n")).answer,
              GuardAnswer::Refused);
    api.SetStandardUser(true);
    EXPECT_EQ(Send(1, GuardVerb::Save, "Kite9", payload), (GuardResponse{GuardAnswer::Failed, 5}));
}

TEST(RestartPolicy, ACopyThatRanFiveSecondsStartsAgainAtOnceOneThatDiedSoonerFiveSecondsAfterItsStart) {
    EXPECT_EQ(guard::NextStartMs(1000, 9000), 9000u);
    EXPECT_EQ(guard::NextStartMs(1000, 6000), 6000u);
    EXPECT_EQ(guard::NextStartMs(1000, 1200), 6000u);
}

} // namespace
