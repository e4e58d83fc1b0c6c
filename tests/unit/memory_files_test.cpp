// The in-memory tree against the disk it stands in for: one script of
// operations, run once over a temporary folder and once over the tree, must
// give the same result at every step.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "memory_files.h"
#include "platform/fault_injection.h"
#include "platform/platform.h"
#include "support/temp_dir.h"

namespace {

// Runs the script over the folder `dir` and records each result as text.
std::vector<std::string> run_script(const std::string& dir)
{
    std::vector<std::string> out;
    auto p = [&](const char* name) { return dir + "\\" + name; };
    auto note = [&](const char* what, uint64_t value) { out.push_back(std::string(what) + "=" + std::to_string(value)); };
    auto opened = [](OsHandle h) { return h != OS_INVALID_HANDLE ? 1u : 0u; };

    OsHandle w = os_create_write(p("a.arc").c_str());
    note("create a", opened(w));
    note("write", os_write(w, "hello", 5));
    note("seek past the end", os_seek(w, 8));
    note("write after a gap", os_write(w, "!", 1));
    note("read from a writer", os_read(w, nullptr, 0));
    note("open A while written", opened(os_open_read(p("A.ARC").c_str())));
    note("delete while open", os_delete_file(p("a.arc").c_str()));
    note("flush", os_flush(w));
    os_close(w);

    OsHandle r = os_open_read(p("A.arc").c_str());
    char buf[16] = {};
    note("size", os_size(r));
    note("read", os_read(r, buf, sizeof buf));
    out.push_back(std::string(buf, 9));
    note("seek 0x80000000", os_seek(r, 0x80000000u));
    OsHandle second = os_open_read(p("a.arc").c_str());
    note("second reader", opened(second));
    note("create over a reader", opened(os_create_write(p("a.arc").c_str())));
    note("move while open", os_move_replace(p("a.arc").c_str(), p("b.arc").c_str()));
    os_close(second);
    os_close(r);
    os_close(r);  // a stale handle is refused
    note("size of a closed handle", os_size(r));

    note("create new over a", opened(os_create_new(p("A.arc").c_str())));
    OsHandle n = os_create_new(p("b.arc").c_str());
    note("create new b", opened(n));
    os_close(n);
    note("create in a missing folder", opened(os_create_write(p("none\\c.arc").c_str())));
    note("folder attributes", os_get_attributes(p("sub").c_str()));
    note("open a folder", opened(os_open_read(p("sub").c_str())));
    note("move onto a folder", os_move_replace(p("b.arc").c_str(), p("sub").c_str()));
    note("change of case", os_move_replace(p("b.arc").c_str(), p("B.ARC").c_str()));

    note("read-only", os_set_readonly(p("a.arc").c_str()));
    note("attributes", os_get_attributes(p("a.arc").c_str()));
    note("create over read-only", opened(os_create_write(p("a.arc").c_str())));
    note("open read-only for writing", opened(os_open_write(p("a.arc").c_str())));
    note("move onto read-only", os_move_replace(p("b.arc").c_str(), p("a.arc").c_str()));
    note("delete read-only", os_delete_file(p("a.arc").c_str()));
    note("normal", os_set_normal_attributes(p("a.arc").c_str()));
    note("move onto a", os_move_replace(p("b.arc").c_str(), p("a.arc").c_str()));
    note("b gone", os_get_attributes(p("b.arc").c_str()));
    note("delete a", os_delete_file(p("a.arc").c_str()));
    note("delete again", os_delete_file(p("a.arc").c_str()));
    note("path of MAX_PATH", opened(os_create_write((dir + "\\" + std::string(OS_PATH_SIZE, 'x')).c_str())));
    return out;
}

TEST(MemoryFiles, BehaveLikeTheDiskTheyStandIn)
{
    fault_reset();
    TempDir disk;
    ASSERT_EQ(os_get_attributes(disk.path().c_str()), OS_ATTRIBUTE_DIRECTORY);
    std::filesystem::create_directory(disk.host("sub"));
    const std::vector<std::string> on_disk = run_script(disk.path());

    memory_files_use(true);
    ASSERT_TRUE(memory_files_add_folder("C:\\Game"));
    ASSERT_TRUE(memory_files_add_folder("C:\\Game\\sub"));
    const std::vector<std::string> in_memory = run_script("C:\\Game");
    std::string bytes;
    EXPECT_FALSE(memory_files_get("C:\\Game\\a.arc", &bytes));
    ASSERT_TRUE(memory_files_put("C:\\game\\New.lst", "abc", 3));
    EXPECT_TRUE(memory_files_get("C:\\GAME\\new.lst", &bytes));
    EXPECT_EQ(bytes, "abc");
    EXPECT_FALSE(memory_files_put("C:\\Elsewhere\\x", "abc", 3));
    // The fault hook spoils operations on the tree as on the disk.
    fault_arm(FAULT_CREATE_WRITE, 1, FAULT_FAIL);
    EXPECT_EQ(os_create_write("C:\\Game\\c.arc"), OS_INVALID_HANDLE);
    EXPECT_TRUE(fault_fired());
    fault_reset();
    memory_files_use(false);
    EXPECT_EQ(os_get_attributes("C:\\Game"), OS_INVALID_ATTRIBUTES);  // the disk again

    ASSERT_EQ(on_disk.size(), in_memory.size());
    for (size_t i = 0; i < on_disk.size(); ++i)
        EXPECT_EQ(in_memory[i], on_disk[i]) << "step " << i;
}

}  // namespace
