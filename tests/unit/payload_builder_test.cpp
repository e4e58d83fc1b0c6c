// The payload builder: what it writes reads back through the updater's own
// reader, and what the format cannot hold is refused with nothing left behind.
#include <filesystem>

#include "hash_list/hash_list.h"
#include "payload/payload.h"
#include "publish/payload_builder.h"
#include "support/install_fixture.h"
#include "update/shipped_list.h"

namespace {

class PayloadBuilder : public ::testing::Test {
protected:
    void SetUp() override
    {
        write_host_file(temp.host("stub.exe"), "MZ stub image");
        write_host_file(temp.host("a.arc"), "first file");
        write_host_file(temp.host("b.arc"), std::string(0x100003, 'b'));
        options.stub = temp.host("stub.exe");
        options.caption = "Caption \x83\x65\x83\x58\x83\x67";
        options.out = temp.host("out.exe");
        files = {{"a.arc", "a.arc", temp.host("a.arc")}, {"B.arc", "Archive\\B.arc", temp.host("b.arc")}};
    }
    // Nothing but the inputs remains in the folder.
    void expect_no_output() const
    {
        EXPECT_FALSE(host_file_exists(options.out));
        EXPECT_FALSE(host_file_exists(options.out + ".tmp"));
    }
    TempDir temp;
    BuilderOptions options;
    std::vector<BuilderFile> files;
};

TEST_F(PayloadBuilder, EveryFormAndVersionReadsBack)
{
    for (uint32_t form : {128u, 32u}) {
        for (uint32_t version : {2u, 1u}) {
            SCOPED_TRACE(testing::Message() << "form " << form << " version " << version);
            options.form = form;
            options.hash_list_version = version;
            std::string message;
            ASSERT_EQ(build_updater(options, files, nullptr, nullptr, &message), BUILD_OK) << message;
            std::string bytes = read_host_file(options.out);
            EXPECT_EQ(bytes.substr(0, 13), "MZ stub image");
            EXPECT_EQ(bytes.substr(13, 0x28000 - 13), std::string(0x28000 - 13, '\0'));
            EXPECT_EQ(bytes.substr(0x28000, options.caption.size() + 1), options.caption + '\0');

            FileHandle payload;
            PayloadIndex index;
            ASSERT_EQ(open_payload(payload, options.out.c_str(), &index), UPDATE_OK);
            ASSERT_EQ(index.count, 3u);
            EXPECT_EQ(index.form, form);
            char name[97];
            entry_name(index, 2, name);
            EXPECT_STREQ(name, "B.arc");
            EXPECT_EQ(entry_size(index, 2), 0x100003u);
            EXPECT_EQ(bytes.substr(index.data_base + entry_offset(index, 1), 10), "first file");
            HashList shipped = load_shipped(payload, index);
            ASSERT_EQ(shipped.size(), 2u);
            EXPECT_STREQ(shipped[1].path, "Archive\\B.arc");
            EXPECT_EQ(std::string(reinterpret_cast<char*>(shipped[1].checksum), 8),
                      checksum_of(std::string(0x100003, 'b')));
            EXPECT_FALSE(host_file_exists(options.out + ".tmp"));
        }
    }
}

TEST_F(PayloadBuilder, RefusesWhatTheFormatCannotHold)
{
    struct Case {
        const char* what;
        void (*spoil)(BuilderOptions*, std::vector<BuilderFile>*);
    };
    const Case cases[] = {
        {"two files with one name",
         [](BuilderOptions*, std::vector<BuilderFile>* f) { (*f)[1].name = "A.ARC"; }},
        {"a file named like the hash list",
         [](BuilderOptions*, std::vector<BuilderFile>* f) { (*f)[1].name = "kxq.HVL"; }},
        {"a name too long for the 128-byte entry",
         [](BuilderOptions*, std::vector<BuilderFile>* f) { (*f)[1].name = std::string(96, 'n'); }},
        {"a name too long for the 32-byte entry",
         [](BuilderOptions* o, std::vector<BuilderFile>* f) { o->form = 32; (*f)[1].name = std::string(16, 'n'); }},
        {"a path too long for a version-2 record",
         [](BuilderOptions*, std::vector<BuilderFile>* f) { (*f)[1].path = std::string(248, 'p'); }},
        {"a path too long for a version-1 record",
         [](BuilderOptions* o, std::vector<BuilderFile>* f) { o->hash_list_version = 1; (*f)[1].path = std::string(56, 'p'); }},
        {"a path leaving the folder",
         [](BuilderOptions*, std::vector<BuilderFile>* f) { (*f)[1].path = "..\\B.arc"; }},
        {"a name with a folder",
         [](BuilderOptions*, std::vector<BuilderFile>* f) { (*f)[1].name = "x\\B.arc"; }},
        {"a caption too long for its block",
         [](BuilderOptions* o, std::vector<BuilderFile>*) { o->caption = std::string(1024, 'c'); }},
        {"more than 256 entries",
         [](BuilderOptions*, std::vector<BuilderFile>* f) {
             for (int i = 0; i < 254; ++i)
                 f->push_back({"f" + std::to_string(i), "f" + std::to_string(i), (*f)[0].source});
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BuilderOptions o = options;
        std::vector<BuilderFile> f = files;
        c.spoil(&o, &f);
        std::string message;
        EXPECT_EQ(build_updater(o, f, nullptr, nullptr, &message), BUILD_REFUSED);
        EXPECT_FALSE(message.empty());
        expect_no_output();
    }
}

TEST_F(PayloadBuilder, TwoHundredFiftyFiveFilesFillTheIndex)
{
    for (int i = 0; i < 253; ++i)
        files.push_back({"f" + std::to_string(i), "f" + std::to_string(i), files[0].source});
    std::string message;
    EXPECT_EQ(build_updater(options, files, nullptr, nullptr, &message), BUILD_OK) << message;
}

TEST_F(PayloadBuilder, OversizedStubIsRefusedAndAnOldOutputSurvives)
{
    write_host_file(options.out, "previous updater");
    write_host_file(options.stub, std::string(0x28001, 'S'));
    std::string message;
    EXPECT_EQ(build_updater(options, files, nullptr, nullptr, &message), BUILD_REFUSED);
    EXPECT_EQ(read_host_file(options.out), "previous updater");
    EXPECT_FALSE(host_file_exists(options.out + ".tmp"));
    write_host_file(options.stub, std::string(0x28000, 'S'));
    EXPECT_EQ(build_updater(options, files, nullptr, nullptr, &message), BUILD_OK) << message;
}

// Safe on a shared machine: a link planted at the temporary name is replaced
// as a name; neither it nor the output leads to the file it pointed to.
TEST_F(PayloadBuilder, ALinkPlantedAtTheTemporaryNameIsNeverWrittenThrough)
{
    write_host_file(temp.host("victim"), "someone else's file");
    std::filesystem::create_symlink(temp.host("victim"), options.out + ".tmp");
    std::string message;
    ASSERT_EQ(build_updater(options, files, nullptr, nullptr, &message), BUILD_OK) << message;
    EXPECT_EQ(read_host_file(temp.host("victim")), "someone else's file");
    EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(options.out)));
}

TEST_F(PayloadBuilder, MissingSourceFailsWithoutOutput)
{
    files[1].source = temp.host("gone.arc");
    std::string message;
    EXPECT_EQ(build_updater(options, files, nullptr, nullptr, &message), BUILD_FAILED);
    expect_no_output();
}

TEST_F(PayloadBuilder, ProgressReachesTheTotal)
{
    struct Seen {
        uint64_t done = 0, total = 0;
        int calls = 0;
    } seen;
    std::string message;
    ASSERT_EQ(build_updater(options, files,
                            [](void* c, uint64_t done, uint64_t total) {
                                Seen* s = static_cast<Seen*>(c);
                                EXPECT_GE(done, s->done);
                                s->done = done;
                                s->total = total;
                                ++s->calls;
                            },
                            &seen, &message),
              BUILD_OK);
    EXPECT_EQ(seen.calls, 2);
    EXPECT_EQ(seen.done, seen.total);
    EXPECT_EQ(seen.total, 16u + 2 * 256 + 10 + 0x100003);
}

}  // namespace
