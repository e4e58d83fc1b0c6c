// Every file operation of a representative update made to fail in turn, the
// way a full disk, a yanked drive or a sharing violation would: the result is
// never UPDATE_OK unless the failed operation is one the transaction may
// ignore, no game file is ever torn, no temporary file is left behind unless
// its deletion was the failure, and KXQ.hvl and uninst.lst are always either
// their old bytes or their complete new bytes. One failure anywhere, in a
// move or in the rewrite of KXQ.hvl included, leaves the folder exactly as it
// was; only when everything fails from then on, the rollback too, may some
// targets stay new (each whole, and a prefix of the commit order).
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "hash_list/hash_list.h"
#include "payload/payload.h"
#include "platform/fault_injection.h"
#include "support/install_fixture.h"
#include "update/shipped_list.h"
#include "update/transaction.h"

namespace {

const std::string OLD_SYSTEM = "old system archive";
const std::string OLD_DATA = "old data archive";
const std::string OTHER = "not in the patch";
const std::string OLD_UNINST = "System.arc\r\nother.arc\r\n$Uninstaller\r\n";

// The new system archive spans two copy chunks, so a fault can hit the middle
// of a file as well as its start.
std::string new_system()
{
    std::string data(0x100000 + 300, '\0');
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>((i * 131 + 7) & 0xFF);
    return data;
}
const std::string NEW_SYSTEM = new_system();
const std::string NEW_DATA = "new data archive, longer than the old one";
const std::string FRESH = "a file the game did not have";
const std::string README = "unverified notes";

// Targets in commit order, host-relative, with their old bytes ("" = absent).
struct Target {
    const char* host;
    std::string old_bytes;
    std::string new_bytes;
};
const Target TARGETS[] = {
    {"system.arc", OLD_SYSTEM, NEW_SYSTEM},
    {"Archive/data01.arc", OLD_DATA, NEW_DATA},
    {"Archive/fresh.arc", "", FRESH},
    {"readme.txt", "", README},
};

struct Fault {
    FaultOperation op;
    uint32_t nth;
    FaultEffect effect;
};

const char* op_name(FaultOperation op)
{
    static const char* const names[] = {"open_read", "create_write", "open_write", "read", "write",
                                        "seek", "flush", "set_attributes", "get_attributes", "move",
                                        "delete", "own_path", "link"};
    return op < FAULT_ANY ? names[op] : "any";
}

const char* effect_name(FaultEffect effect)
{
    return effect == FAULT_FAIL ? "fail" : effect == FAULT_SHORT ? "short" : "fail from then on";
}

bool is_leftover(const std::string& path)
{
    auto ends = [&](const char* s) {
        const std::string tail(s);
        return path.size() >= tail.size() && path.compare(path.size() - tail.size(), tail.size(), tail) == 0;
    };
    return ends(".tmp") || ends(".new") || ends(".prev");
}

class FaultInjection : public TransactionFixture {
protected:
    void SetUp() override
    {
        TransactionFixture::SetUp();
        f.put("system.arc", OLD_SYSTEM);
        f.put("Archive/data01.arc", OLD_DATA);
        f.put("other.arc", OTHER);
        // gone.arc is listed but missing: the prune after the commit drops it.
        f.install({{"system.arc", checksum_of(OLD_SYSTEM)},
                   {"Archive\\data01.arc", checksum_of(OLD_DATA)},
                   {"other.arc", checksum_of(OTHER)},
                   {"gone.arc", checksum_of("gone")}},
                  OLD_UNINST);
        f.put_updater(shipped_entries({{"system.arc", "system.arc", NEW_SYSTEM},
                                       {"data01.arc", "Archive\\data01.arc", NEW_DATA},
                                       {"fresh.arc", "Archive\\fresh.arc", FRESH},
                                       {"readme.txt", "", README}}));
        before = f.snapshot();
    }

    // The list as written back before the prune, and after it.
    std::string unpruned_list() const
    {
        return hash_list_file(2, {{"system.arc", checksum_of(NEW_SYSTEM)},
                                  {"Archive\\data01.arc", checksum_of(NEW_DATA)},
                                  {"other.arc", checksum_of(OTHER)},
                                  {"gone.arc", checksum_of("gone")},
                                  {"Archive\\fresh.arc", checksum_of(FRESH)}});
    }
    std::string pruned_list() const
    {
        return hash_list_file(2, {{"system.arc", checksum_of(NEW_SYSTEM)},
                                  {"Archive\\data01.arc", checksum_of(NEW_DATA)},
                                  {"other.arc", checksum_of(OTHER)},
                                  {"Archive\\fresh.arc", checksum_of(FRESH)}});
    }

    void restore()
    {
        std::filesystem::remove_all(f.game(""));
        for (const auto& [path, bytes] : before)
            f.put(path, bytes);
    }

    UpdateResult run_with(const Fault& fault, bool* fired)
    {
        restore();
        reset_stop_flags();
        fault_reset();
        fault_arm(fault.op, fault.nth, fault.effect);
        ScriptedProgress quiet;
        UpdateResult result = run_update_from(f.updater().c_str(), f.dir().c_str(), quiet);
        *fired = fault_fired();
        fault_reset();
        return result;
    }

    void check_outcome(const Fault& fault, UpdateResult result, const FolderSnapshot& after);
    void check_lists(const Fault& fault, UpdateResult result, const FolderSnapshot& after);
    std::string list_name(const std::string& hvl) const;

    FolderSnapshot before;
    std::string new_uninst;  // from the clean run
};

// Each target wholly old or wholly new, and the new ones a prefix of the
// commit order: moves run in index order and stop at the first failure.
void FaultInjection::check_outcome(const Fault& fault, UpdateResult result, const FolderSnapshot& after)
{
    const UpdateResult allowed[] = {UPDATE_OK, UPDATE_E_DAMAGED, UPDATE_E_FAILED, UPDATE_E_UNINST_LIST};
    EXPECT_NE(std::find(std::begin(allowed), std::end(allowed), result), std::end(allowed))
        << update_result_name(result);
    size_t committed = 0;
    bool old_seen = false;
    for (const Target& t : TARGETS) {
        auto it = after.find(t.host);
        const bool is_new = it != after.end() && it->second == t.new_bytes;
        const bool is_old = t.old_bytes.empty() ? it == after.end() : it != after.end() && it->second == t.old_bytes;
        EXPECT_TRUE(is_new || is_old) << t.host << " is torn";
        EXPECT_FALSE(is_new && old_seen) << t.host << " committed after an earlier move failed";
        old_seen = old_seen || !is_new;
        committed += is_new;
    }
    if (result == UPDATE_OK || result == UPDATE_E_UNINST_LIST) {
        EXPECT_EQ(committed, std::size(TARGETS)) << "a commit reported as done is incomplete";
    }
    if (result != UPDATE_OK && result != UPDATE_E_UNINST_LIST && fault.effect != FAULT_FAIL_FROM_THEN_ON) {
        EXPECT_EQ(after, before) << "one failure left the folder changed";
        return;
    }
    if (result == UPDATE_E_DAMAGED) {
        EXPECT_EQ(committed, 0u) << "a damaged payload must change nothing";
    }
    auto other = after.find("other.arc");
    EXPECT_TRUE(other != after.end() && other->second == OTHER);
    for (const auto& item : after) {
        const bool known = before.count(item.first) != 0 ||
                           std::any_of(std::begin(TARGETS), std::end(TARGETS),
                                       [&](const Target& t) { return item.first == t.host; });
        if (known)
            continue;
        // Only a failed deletion may leave a temporary or sibling file behind,
        // or a rollback that failed too: its kept copies stay.
        EXPECT_TRUE(is_leftover(item.first) && (fault.op == FAULT_DELETE || fault.effect == FAULT_FAIL_FROM_THEN_ON))
            << "left behind: " << item.first;
    }
    check_lists(fault, result, after);
}

// Which list a KXQ.hvl is, for short failure messages.
std::string FaultInjection::list_name(const std::string& hvl) const
{
    if (hvl == before.at("KXQ.hvl"))
        return "old";
    if (hvl == pruned_list())
        return "new";
    if (hvl == unpruned_list())
        return "new, unpruned";
    return "other (" + std::to_string(hvl.size()) + " bytes)";
}

void FaultInjection::check_lists(const Fault& fault, UpdateResult result, const FolderSnapshot& after)
{
    const std::string hvl = after.count("KXQ.hvl") ? after.at("KXQ.hvl") : std::string("(missing)");
    const std::string uninst = after.count("uninst.lst") ? after.at("uninst.lst") : std::string("(missing)");
    const bool uninst_old = uninst == OLD_UNINST;
    const bool uninst_new = uninst == new_uninst;
    if (result != UPDATE_OK && result != UPDATE_E_UNINST_LIST) {
        EXPECT_EQ(list_name(hvl), "old") << "KXQ.hvl changed by a failed update";
        EXPECT_TRUE(uninst_old) << "uninst.lst changed by a failed update";
        return;
    }
    if (result == UPDATE_OK)
        EXPECT_TRUE(uninst_new) << "uninst.lst not updated by a successful update";
    else
        EXPECT_TRUE(uninst_old) << "uninst.lst changed although its update failed";
    if (hvl == pruned_list())
        return;
    // The prune's failures go unreported: then the list stays as written
    // back. Anything else that failed must not have been swallowed.
    if (fault.op == FAULT_GET_ATTRIBUTES) {
        // A failing attribute query reads as "no such file": the prune drops
        // that record. Whatever stays is whole and in order.
        ASSERT_EQ((hvl.size() - 16) % 256, 0u);
        const std::string full = unpruned_list();
        size_t at = 16;
        for (size_t r = 16; r < hvl.size(); r += 256) {
            while (at < full.size() && full.compare(at, 256, hvl, r, 256) != 0)
                at += 256;
            EXPECT_LT(at, full.size()) << "KXQ.hvl record " << (r - 16) / 256 << " is not a record of the update";
        }
        return;
    }
    EXPECT_EQ(list_name(hvl), "new, unpruned") << "KXQ.hvl is neither the old nor the new list";
}

TEST_F(FaultInjection, EveryFailingOperationIsReportedAndLeavesWholeFiles)
{
    // The clean run: what a successful update leaves, and how many operations
    // of each kind it makes.
    fault_reset();
    ScriptedProgress clean;
    ASSERT_EQ(run_update_from(f.updater().c_str(), f.dir().c_str(), clean), UPDATE_OK);
    FolderSnapshot done = f.snapshot();
    ASSERT_EQ(done["KXQ.hvl"], pruned_list());
    new_uninst = done["uninst.lst"];
    ASSERT_NE(new_uninst, OLD_UNINST);
    uint32_t counts[FAULT_OPERATION_COUNT];
    for (uint32_t op = 0; op < FAULT_OPERATION_COUNT; ++op)
        counts[op] = fault_count(static_cast<FaultOperation>(op));
    // Every kind the update depends on is exercised at least once.
    for (FaultOperation op : {FAULT_OPEN_READ, FAULT_CREATE_WRITE, FAULT_OPEN_WRITE, FAULT_READ, FAULT_WRITE, FAULT_SEEK, FAULT_FLUSH,
                              FAULT_SET_ATTRIBUTES, FAULT_GET_ATTRIBUTES, FAULT_MOVE, FAULT_DELETE, FAULT_LINK})
        ASSERT_GT(counts[op], 0u) << op_name(op);

    uint32_t runs = 0;
    for (uint32_t op = 0; op < FAULT_OPERATION_COUNT; ++op) {
        const FaultOperation kind = static_cast<FaultOperation>(op);
        std::vector<FaultEffect> effects = {FAULT_FAIL, FAULT_FAIL_FROM_THEN_ON};
        if (kind == FAULT_READ || kind == FAULT_WRITE)
            effects.push_back(FAULT_SHORT);
        for (FaultEffect effect : effects) {
            for (uint32_t n = 1; n <= counts[op]; ++n) {
                const Fault fault = {kind, n, effect};
                SCOPED_TRACE(std::string(op_name(kind)) + " #" + std::to_string(n) + " " + effect_name(effect));
                const int parts_before = ::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count();
                bool fired = false;
                const UpdateResult result = run_with(fault, &fired);
                EXPECT_TRUE(fired);
                check_outcome(fault, result, f.snapshot());
                if (::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count() != parts_before)
                    std::printf("  %s #%u %s -> %s\n", op_name(kind), n, effect_name(effect), update_result_name(result));
                ++runs;
            }
        }
    }
    std::printf("%u faulted runs over a clean run of", runs);
    for (uint32_t op = 0; op < FAULT_OPERATION_COUNT; ++op)
        std::printf(" %s %u", op_name(static_cast<FaultOperation>(op)), counts[op]);
    std::printf("\n");
    EXPECT_GT(runs, 40u);
}

// Staged files reach the disk before the first move makes them the game's
// files, and each list's sibling before the move that replaces the list.
TEST_F(FaultInjection, StagedFilesAreFlushedBeforeTheFirstMove)
{
    const struct {
        uint32_t failing_move;
        uint32_t flushes_before;
    } cases[] = {
        {1, 4},  // the four staged files
        {5, 5},  // KXQ.hvl's sibling, after the four moves of the commit
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("move #" + std::to_string(c.failing_move));
        bool fired = false;
        restore();
        reset_stop_flags();
        fault_reset();
        fault_arm(FAULT_MOVE, c.failing_move, FAULT_FAIL);
        ScriptedProgress quiet;
        EXPECT_EQ(run_update_from(f.updater().c_str(), f.dir().c_str(), quiet), UPDATE_E_FAILED);
        fired = fault_fired();
        EXPECT_TRUE(fired);
        // A failed move ends the commit (the rollback flushes nothing), so
        // every flush counted came before it.
        EXPECT_EQ(fault_count(FAULT_FLUSH), c.flushes_before);
        fault_reset();
    }
}

// A refusal that goes away by itself (a scanner holding the file for a
// moment) is retried; one that stays ends the update with the folder as it was.
TEST_F(FaultInjection, SharingViolationsAreRetriedUntilTheyStay)
{
    const struct {
        const char* what;
        FaultOperation op;
        FaultEffect effect;
        UpdateResult expected;
    } cases[] = {
        {"one refused create", FAULT_CREATE_WRITE, FAULT_FAIL, UPDATE_OK},
        {"one refused move", FAULT_MOVE, FAULT_FAIL, UPDATE_OK},
        {"a move refused for good", FAULT_MOVE, FAULT_FAIL_FROM_THEN_ON, UPDATE_E_FAILED},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        restore();
        reset_stop_flags();
        fault_reset();
        fault_set_error(EBUSY);
        fault_arm(c.op, 1, c.effect);
        ScriptedProgress quiet;
        EXPECT_EQ(run_update_from(f.updater().c_str(), f.dir().c_str(), quiet), c.expected);
        EXPECT_TRUE(fault_fired());
        fault_reset();
        if (c.expected != UPDATE_OK)
            EXPECT_EQ(f.snapshot(), before);
        else
            EXPECT_EQ(f.snapshot()["system.arc"], NEW_SYSTEM);
    }
}

// A read error is not the same as data that is not there: a payload header
// that cannot be reached is damaged, and so is a shipped hash list the file
// holds but will not give back (installing without it would put files under
// their bare names and leave KXQ.hvl stale).
TEST_F(FaultInjection, ReadErrorsAreNotTakenForMissingData)
{
    FileHandle payload;
    PayloadIndex index;
    fault_arm(FAULT_SEEK, 1, FAULT_FAIL);
    EXPECT_EQ(open_payload(payload, f.updater().c_str(), &index), UPDATE_E_DAMAGED);
    EXPECT_TRUE(fault_fired());
    payload.close();
    fault_reset();

    const struct {
        const char* what;
        FaultOperation op;
        uint32_t nth;
        FaultEffect effect;
    } cases[] = {
        {"seek to the list fails", FAULT_SEEK, 1, FAULT_FAIL},
        {"header read fails", FAULT_READ, 1, FAULT_FAIL},
        {"header read falls short", FAULT_READ, 1, FAULT_SHORT},
        {"records read fails", FAULT_READ, 2, FAULT_FAIL},
        {"records read falls short", FAULT_READ, 2, FAULT_SHORT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(open_payload(payload, f.updater().c_str(), &index), UPDATE_OK);
        fault_reset();
        fault_arm(c.op, c.nth, c.effect);
        int version = 0;
        EXPECT_TRUE(load_shipped(payload, index, &version).empty());
        EXPECT_TRUE(fault_fired());
        EXPECT_EQ(version, SHIPPED_UNREADABLE);
        fault_reset();
        // Without the fault the same file gives its list.
        EXPECT_EQ(load_shipped(payload, index, &version).size(), 3u);
        EXPECT_EQ(version, 2);
        payload.close();
    }
}

}  // namespace
