#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/fake/fake_event_log.h"

namespace {

using platform::EventKind;
using platform::fake::FakeEventLog;

TEST(EventLog, EachEventCarriesExactlyTheInsertsItsSentenceTakes) {
    struct Case {
        EventKind kind;
        std::vector<std::string> given;
        std::vector<std::string> written;
    };
    const Case cases[] = {
        {EventKind::WindowLocked, {"Crime Stories - Browser", "Crime"}, {"Crime Stories - Browser", "Crime"}},
        // A missing insert reads as empty rather than as a bare "%2".
        {EventKind::WindowLocked, {"Crime Stories - Browser"}, {"Crime Stories - Browser", ""}},
        // Whatever a caller hands over, this event has no place for text, so a typed password cannot get in.
        {EventKind::WrongPassword, {"what was typed"}, {}},
        {EventKind::SaveRefused, {"access denied", "extra"}, {"access denied"}},
    };
    for (const Case& c : cases) {
        FakeEventLog log;
        log.Report(c.kind, c.given);
        ASSERT_EQ(log.Events().size(), 1u);
        EXPECT_EQ(log.Events()[0].kind, c.kind);
        EXPECT_EQ(log.Events()[0].inserts, c.written) << static_cast<unsigned>(c.kind);
    }
}

TEST(EventLog, LongInsertIsCutAndMarked) {
    FakeEventLog log;
    const std::string title(254, 't');
    log.Report(EventKind::WindowLocked, {title, std::string(1000, 'i')});
    const auto& inserts = log.Events().at(0).inserts;
    EXPECT_EQ(inserts[0], title); // a full window title fits
    EXPECT_EQ(inserts[1].size(), platform::kMaxEventInsert);
    EXPECT_EQ(inserts[1].substr(inserts[1].size() - 3), "...");
}

} // namespace
