// What the transaction shows while it runs, and how it stops when the user
// cancels, closes the dialog or the message loop ends.
#include "support/install_fixture.h"
#include "update/stop_flags.h"

namespace {

const uint32_t MIB = 0x100000;
typedef std::vector<uint32_t> Values;

std::string pattern(size_t size)
{
    std::string out(size, '\0');
    for (size_t i = 0; i < size; ++i)
        out[i] = static_cast<char>(i * 7 + i / 4096);
    return out;
}

class UpdateProgress : public TransactionFixture {
protected:
    void SetUp() override
    {
        TransactionFixture::SetUp();
        f.put("big.arc", "old big");
        f.install({});
    }
    // The hash list first, a 3 MiB entry, then an empty one.
    void write_big_updater()
    {
        f.put_updater(shipped_entries({{"big.arc", "big.arc", pattern(3 * MIB)}, {"empty.arc", "empty.arc", ""}}));
    }
};

TEST_F(UpdateProgress, BarsFollowEveryChunkWithTheHashListFirst)
{
    write_big_updater();
    ASSERT_EQ(run(), UPDATE_OK);
    EXPECT_EQ(view.values(ProgressCall::FILE_RANGE), Values{0xFFFF});
    EXPECT_EQ(view.values(ProgressCall::FILE_POSITION), (Values{0, 0, 0, 21845, 43690, 65535, 0}));
    EXPECT_EQ(view.values(ProgressCall::TOTAL_RANGE), Values{3});
    EXPECT_EQ(view.values(ProgressCall::TOTAL_POSITION), (Values{0, 2, 3}));
    EXPECT_EQ(view.chunks(), 3u);
    // Set-up, then per entry its status; per chunk; per staged entry's end.
    EXPECT_EQ(view.pumps(), 1u + 3 + 3 + 2);
}

TEST_F(UpdateProgress, HashListLastDoesNotMoveTheTotalBar)
{
    std::vector<FixtureEntry> entries = shipped_entries({{"a.arc", "a.arc", "a"}, {"b.arc", "b.arc", "b"}});
    entries.push_back(entries.front());
    entries.erase(entries.begin());
    f.put_updater(entries);
    ASSERT_EQ(run(), UPDATE_OK);
    EXPECT_EQ(view.values(ProgressCall::TOTAL_RANGE), Values{3});
    EXPECT_EQ(view.values(ProgressCall::TOTAL_POSITION), (Values{0, 1, 2}));
}

TEST_F(UpdateProgress, StatusNamesTheInstalledPathInCodePage932)
{
    f.put("Archive/x", "");
    f.put_updater(shipped_entries({{"data01.arc", "Archive\\data01.arc", "d"}}));
    ASSERT_EQ(run(), UPDATE_OK);
    const std::string installing = "\x82\xf0\x83\x43\x83\x93\x83\x58\x83\x67\x81\x5b\x83\x8b\x92\x86";
    EXPECT_EQ(view.statuses(), (std::vector<std::string>{"KXQ.hvl" + installing, "Archive\\data01.arc" + installing}));
}

TEST_F(UpdateProgress, CancelAtAChunkStopsAfterThatChunk)
{
    write_big_updater();
    FolderSnapshot before = f.snapshot();
    view.cancel.chunk = 2;
    EXPECT_EQ(run(), UPDATE_E_CANCELLED);
    EXPECT_EQ(view.chunks(), 2u);
    EXPECT_EQ(view.values(ProgressCall::FILE_POSITION), (Values{0, 0, 0, 21845, 43690}));
    EXPECT_EQ(view.values(ProgressCall::TOTAL_POSITION), Values{0});
    EXPECT_EQ(f.snapshot(), before);
}

TEST_F(UpdateProgress, EveryWayOfStoppingLeavesTheFolderUntouched)
{
    struct Case {
        const char* what;
        ProgressTrigger cancel, close, stop;
        UpdateResult expected;
    };
    const Case cases[] = {
        {"dialog closed at a chunk", {}, {0, 1}, {}, UPDATE_E_CLOSED},
        {"pump stops at a chunk", {}, {}, {0, 2}, UPDATE_E_CLOSED},
        {"pump stops during set-up", {}, {}, {1, 0}, UPDATE_E_CLOSED},
        {"pump stops at an entry's status", {}, {}, {3, 0}, UPDATE_E_CLOSED},
        {"pump stops after the last entry", {}, {}, {9, 0}, UPDATE_E_CLOSED},
        {"cancel after the last entry", {9, 0}, {}, {}, UPDATE_E_CANCELLED},
        {"cancel and close together", {0, 1}, {0, 1}, {}, UPDATE_E_CANCELLED},
        {"cancel and pump stop together", {2, 0}, {}, {2, 0}, UPDATE_E_CANCELLED},
    };
    write_big_updater();
    FolderSnapshot before = f.snapshot();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        reset_stop_flags();
        view = ScriptedProgress();
        view.cancel = c.cancel;
        view.close = c.close;
        view.stop = c.stop;
        EXPECT_EQ(run(), c.expected);
        EXPECT_EQ(f.snapshot(), before);
        if (c.stop.pump || c.stop.chunk) {
            EXPECT_EQ(window_closed, 1) << "a stop answer marks the window closed";
        }
    }
}

TEST_F(UpdateProgress, StopDuringSetUpStagesNothing)
{
    write_big_updater();
    view.stop.pump = 1;
    EXPECT_EQ(run(), UPDATE_E_CLOSED);
    EXPECT_TRUE(view.statuses().empty());
    EXPECT_EQ(view.pumps(), 1u);
}

TEST_F(UpdateProgress, FlagSetBeforeTheRunStopsAtTheFirstEntry)
{
    write_big_updater();
    FolderSnapshot before = f.snapshot();
    cancel_requested = 1;
    EXPECT_EQ(run(), UPDATE_E_CANCELLED);
    EXPECT_TRUE(view.statuses().empty());
    EXPECT_EQ(f.snapshot(), before);
}

}  // namespace
