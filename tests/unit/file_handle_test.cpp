// FileHandle over the platform layer. Written against the neutral interface
// only, so the Win32 tree runs the same cases under Wine
// (tests/win32/file_handle_win32_test.cpp includes this file).
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "platform/file_handle.h"
#include "platform/platform.h"
#include "support/temp_dir.h"

// Whether the system refuses CREATE_ALWAYS over a read-only file. The posix
// layer checks the attribute itself; Wine leaves it to Unix permissions, which
// do not stop root (the including Win32 test says which case it is in).
#ifndef READ_ONLY_STOPS_CREATE
#define READ_ONLY_STOPS_CREATE() true
#endif

namespace {

class FileHandleTest : public ::testing::Test {
protected:
    std::string path(const char* name) const { return dir.path() + "\\" + name; }
    void make(const char* name, const std::string& bytes)
    {
        FileHandle f;
        ASSERT_TRUE(f.create_write(path(name).c_str()));
        ASSERT_EQ(f.write(bytes.data(), static_cast<uint32_t>(bytes.size())), bytes.size());
    }
    std::string contents(const char* name)
    {
        FileHandle f;
        if (!f.open_read(path(name).c_str()))
            return "<unopenable>";
        char buf[64];
        uint32_t n = f.read(buf, sizeof buf);
        return std::string(buf, n);
    }
    void TearDown() override
    {
        // A read-only leftover must not keep the folder from being removed.
        for (const char* name : {"ro", "a", "b"})
            os_set_normal_attributes(path(name).c_str());
    }
    TempDir dir;
};

TEST_F(FileHandleTest, FreshHandleIsClosedAndEveryOperationFails)
{
    FileHandle f;
    char buf[4];
    EXPECT_FALSE(f.is_open());
    EXPECT_EQ(f.raw_os_handle_for_tests(), OS_INVALID_HANDLE);
    EXPECT_EQ(f.read(buf, sizeof buf), 0u);
    EXPECT_EQ(f.write("x", 1), 0u);
    EXPECT_FALSE(f.seek(0));
    EXPECT_EQ(f.size(), 0xFFFFFFFFu);
    EXPECT_FALSE(f.flush());
    f.close();  // closing a closed handle does nothing
    EXPECT_FALSE(f.is_open());
}

TEST_F(FileHandleTest, SecondOpenIsRefusedAndTheFirstFileStaysOpen)
{
    make("a", "first");
    make("b", "second");
    FileHandle f;
    ASSERT_TRUE(f.open_read(path("a").c_str()));
    const OsHandle first = f.raw_os_handle_for_tests();
    EXPECT_FALSE(f.open_read(path("b").c_str()));
    EXPECT_FALSE(f.create_write(path("b").c_str()));
    EXPECT_EQ(f.raw_os_handle_for_tests(), first);
    char buf[8];
    ASSERT_EQ(f.read(buf, 5), 5u);
    EXPECT_EQ(std::string(buf, 5), "first");
    EXPECT_EQ(contents("b"), "second");  // the refused create_write truncated nothing
}

TEST_F(FileHandleTest, MissingFileLeavesTheHandleClosedWithTheFailureSize)
{
    FileHandle f;
    EXPECT_FALSE(f.open_read(path("missing").c_str()));
    EXPECT_FALSE(f.is_open());
    EXPECT_EQ(f.size(), 0xFFFFFFFFu);  // passes any minimum-size test...
    char buf[4];
    EXPECT_FALSE(f.seek(0));           // ...so the next steps must fail
    EXPECT_EQ(f.read(buf, 4), 0u);
}

TEST_F(FileHandleTest, ReadsComeUpShortAtTheEndAndSeekIsAbsolute)
{
    make("a", "0123456789");
    FileHandle f;
    ASSERT_TRUE(f.open_read(path("a").c_str()));
    EXPECT_EQ(f.size(), 10u);
    ASSERT_TRUE(f.seek(7));
    char buf[8];
    EXPECT_EQ(f.read(buf, 8), 3u);
    EXPECT_EQ(std::string(buf, 3), "789");
    EXPECT_EQ(f.read(buf, 8), 0u);
    ASSERT_TRUE(f.seek(2));
    EXPECT_EQ(f.read(buf, 2), 2u);
    EXPECT_EQ(std::string(buf, 2), "23");
    EXPECT_TRUE(f.seek(100));  // beyond the end is a position, not an error
    EXPECT_FALSE(f.seek(0x80000000u));
    EXPECT_FALSE(f.seek(0xFFFFFFFFu));
    EXPECT_EQ(f.write("x", 1), 0u);  // read access only
}

TEST_F(FileHandleTest, CreateWriteTruncatesAndTheDestructorCloses)
{
    make("a", "a long old content");
    {
        FileHandle f;
        ASSERT_TRUE(f.create_write(path("a").c_str()));
        EXPECT_EQ(f.size(), 0u);
        EXPECT_EQ(f.write("new", 3), 3u);
        EXPECT_TRUE(f.flush());
    }
    EXPECT_EQ(contents("a"), "new");
    // Closed by the destructor: nothing holds the file any more.
    EXPECT_TRUE(os_delete_file(path("a").c_str()));
}

TEST_F(FileHandleTest, CreateWriteFailsOnReadOnlyUntilAttributesAreCleared)
{
    make("ro", "keep");
    ASSERT_TRUE(os_set_readonly(path("ro").c_str()));
    EXPECT_NE(os_get_attributes(path("ro").c_str()) & OS_ATTRIBUTE_READONLY, 0u);
    if (!READ_ONLY_STOPS_CREATE())
        GTEST_SKIP() << "Wine runs as root here: Unix permissions do not stop the create";
    FileHandle f;
    EXPECT_FALSE(f.create_write(path("ro").c_str()));
    EXPECT_FALSE(f.is_open());
    EXPECT_EQ(contents("ro"), "keep");
    ASSERT_TRUE(os_set_normal_attributes(path("ro").c_str()));
    EXPECT_TRUE(f.create_write(path("ro").c_str()));
}

// A file of our own in a folder others may write: a leftover of that name,
// read-only or not, is removed and the file created anew; a name another
// handle holds is neither removed nor written.
TEST_F(FileHandleTest, CreateFreshRemovesALeftoverAndTakesNoFileThatIsHeld)
{
    make("a", "stale leftover");
    ASSERT_TRUE(os_set_readonly(path("a").c_str()));
    FileHandle f;
    ASSERT_TRUE(f.create_fresh(path("A").c_str()));
    EXPECT_EQ(f.write("new", 3), 3u);
    f.close();
    EXPECT_EQ(contents("a"), "new");
    EXPECT_EQ(os_get_attributes(path("a").c_str()) & OS_ATTRIBUTE_READONLY, 0u);

    make("b", "held");
    FileHandle reader;
    ASSERT_TRUE(reader.open_read_regular(path("b").c_str()));
    EXPECT_FALSE(f.create_fresh(path("b").c_str()));
    EXPECT_FALSE(f.is_open());
    EXPECT_EQ(contents("b"), "held");
}

TEST_F(FileHandleTest, CloseThenReopenForWriting)
{
    make("a", "x");
    FileHandle f;
    ASSERT_TRUE(f.open_read(path("a").c_str()));
    f.close();
    EXPECT_FALSE(f.is_open());
    ASSERT_TRUE(f.create_write(path("a").c_str()));
    EXPECT_EQ(f.write("yz", 2), 2u);
    f.close();
    EXPECT_EQ(contents("a"), "yz");
}

TEST_F(FileHandleTest, WholeSizeKeepsTheHighPart)
{
    // Sparse: 4 GiB + 100 bytes without writing them.
    const uint64_t big = (static_cast<uint64_t>(1) << 32) + 100;
    make("a", "x");
    std::filesystem::resize_file(dir.host("a"), big);
    FileHandle f;
    ASSERT_TRUE(f.open_read(path("a").c_str()));
    EXPECT_EQ(f.size64(), big);
}

}  // namespace
