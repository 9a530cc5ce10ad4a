// The guard's side of the channel: the messages it takes, how fast passwords may be tried, what it writes, and when
// it starts a session's copy, and again.
#include <gtest/gtest.h>

#include "common/guard_protocol.h"
#include "common/password.h"
#include "guard/guard_requests.h"
#include "guard/session_supervisor.h"
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

TEST(SessionSupervisor, StartsAtSignInAndAgainAfterAnyEndButExitAndTheSessionsEnd) {
    guard::SessionSupervisor sessions;
    sessions.SignedIn({{1, 100}, {2, 200}}, 0);
    EXPECT_EQ(sessions.DueStarts(0), (std::vector<std::uint32_t>{1, 2}));
    EXPECT_FALSE(sessions.Started(1, 0)); // the first start is no restart
    sessions.Adopted(2);                  // found running: watched, not doubled
    EXPECT_TRUE(sessions.DueStarts(0).empty());

    // Killed soon after its start: again five seconds after that start, reported as a restart.
    sessions.Ended(1, guard::CopyEnd::Other, 1000);
    EXPECT_TRUE(sessions.DueStarts(4999).empty());
    EXPECT_EQ(sessions.NextDueMs(), std::optional<std::uint64_t>(5000));
    EXPECT_EQ(sessions.DueStarts(5000), std::vector<std::uint32_t>{1});
    EXPECT_TRUE(sessions.Started(1, 5000));
    // Killed after running long enough: at once. So is a copy the guard found running.
    sessions.Ended(1, guard::CopyEnd::Other, 20000);
    sessions.Ended(2, guard::CopyEnd::Other, 20000);
    EXPECT_EQ(sessions.DueStarts(20000), (std::vector<std::uint32_t>{1, 2}));
    sessions.Started(1, 20000);
    sessions.Started(2, 20000);

    // Exit granted with the password, then the end: ended until the next sign-in. The session's own end likewise.
    sessions.GrantExit(1, 30000);
    sessions.Ended(1, guard::CopyEnd::Other, 31000);
    sessions.Ended(2, guard::CopyEnd::SessionEnding, 31000);
    EXPECT_TRUE(sessions.DueStarts(60000).empty());
    sessions.SignedIn({{1, 100}, {2, 201}}, 60000); // session 2 signed in anew
    EXPECT_EQ(sessions.DueStarts(60000), std::vector<std::uint32_t>{2});
    sessions.SignedIn({{2, 201}}, 61000); // session 1 signed out: forgotten
    sessions.SignedIn({{1, 100}, {2, 201}}, 62000);
    EXPECT_EQ(sessions.DueStarts(62000), (std::vector<std::uint32_t>{1, 2}));
}

TEST(SessionSupervisor, AnExitGrantThatIsNotFollowedByTheEndLapsesAndAFailedStartIsTriedAgain) {
    guard::SessionSupervisor sessions;
    sessions.SignedIn({{1, 100}}, 0);
    sessions.Started(1, 0);
    sessions.GrantExit(1, 10000);
    sessions.Ended(1, guard::CopyEnd::Other, 10000 + guard::SessionSupervisor::kExitGrantMs + 1);
    EXPECT_EQ(sessions.DueStarts(30000), std::vector<std::uint32_t>{1});
    sessions.StartFailed(1, 30000);
    EXPECT_TRUE(sessions.DueStarts(34999).empty());
    EXPECT_EQ(sessions.DueStarts(35000), std::vector<std::uint32_t>{1});
    // The sign-out the system announced: whatever ends then is not started again.
    sessions.Started(1, 35000);
    sessions.SessionEnding(1);
    sessions.Ended(1, guard::CopyEnd::Other, 36000);
    EXPECT_TRUE(sessions.DueStarts(90000).empty());
}

} // namespace
