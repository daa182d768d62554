#include <gtest/gtest.h>

#include <filesystem>

#include "state/messages.hpp"
#include "app/start_process.hpp"
#include "convert/material_file.hpp"
#include "convert_test_support.hpp"

using namespace trevanix;
using namespace trevanix::convert_testing;

namespace {

std::string hex(std::string_view bytes)
{
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (unsigned char b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

MaterialCatalogue catalogue(std::vector<std::vector<std::string>> rows, std::vector<int> last)
{
    MaterialCatalogue c;
    c.material_count = static_cast<int>(rows.size());
    rows.emplace_back(); // the last row stays empty
    c.cells = rows;
    last.push_back(0);
    c.last_submaterial = last;
    return c;
}

} // namespace

TEST(MaterialFile, WritesTemplatesAndNamesByteForByte)
{
    const MaterialTemplates& t = material_templates();
    const std::string bytes = material_file_bytes(
        catalogue({{"stone , C:\\maps\\stone_wall.bmp"}, {"[{empty material}] , [{empty material}]"}}, {0, 0}));
    ASSERT_EQ(bytes.size(), 122u);
    EXPECT_EQ(hex(bytes.substr(0, 16)), "00000012000000080000000500000002");
    EXPECT_EQ(hex(bytes.substr(16, 24)), "0000003C00000050FFFFFFFF3DCCCCCD3F33333300000000");
    EXPECT_EQ(bytes.substr(89, 5), "stone");
    EXPECT_EQ(hex(bytes.substr(94, 9)), "00000000" "1C00000004");
    EXPECT_EQ(bytes.substr(103, 10), "stone_wall");
    EXPECT_EQ(hex(bytes.substr(113)), "000000000000000000");

    // A scene whose cells are all empty pairs gets the 16 header bytes only.
    EXPECT_EQ(material_file_bytes(catalogue({{"[{empty material}] , [{empty material}]"}}, {0})), t.file_header);
}

TEST(MaterialFile, VisitsSubMaterialsInOrderAndTakesTextureBaseNames)
{
    const MaterialTemplates& t = material_templates();
    const std::string bytes = material_file_bytes(
        catalogue({{"first , maps/a.tga", "[{empty material}] , [{empty material}]", "third , C:\\maps\\brick.wall.tga",
                    "beyond last_submaterial , x.tga"},
                   {"", "ignored , y.tga"},
                   {"gta , brickwall_p\xAB"
                    "0.tga"}},
                  {2, 0, 0}));
    const std::string expected = t.file_header + t.record_start + "first" + t.record_middle + "a" + t.record_end + t.record_start +
                                 "third" + t.record_middle + "brick.wall" + t.record_end + t.record_start + "gta" + t.record_middle +
                                 "brickwall_p\xAB"
                                 "0" +
                                 t.record_end;
    EXPECT_EQ(hex(bytes), hex(expected));
    const std::string short_name = bytes.substr(bytes.size() - 9 - 13, 13);
    EXPECT_EQ(static_cast<unsigned char>(short_name[11]), 0xAB);
}

TEST(MaterialFile, NamedAfterTheTargetEvenWhenSplit)
{
    EXPECT_EQ(material_path_for("/scenes/city.asc"), "/scenes/city.mat");
    ConversionFixture f;
    f.load("city.ase", ase_scene({}), 2);
    f.materials({"stone , stone.bmp"}, false);
    start_process(f.session);
    EXPECT_EQ(f.session.conversion_report.mat_file, f.dir.file("city.mat"));
    EXPECT_TRUE(std::filesystem::exists(f.dir.file("city_02.asc")));
    EXPECT_EQ(f.output("city.mat").size(), 16u + 91u + 5u + 5u);
}

TEST(MaterialFile, AsksAndTellsInTheirOrder)
{
    using M = std::vector<std::string>;
    struct Case {
        const char* what;
        bool all, createmat, mapped, mat_exists;
        std::vector<bool> answers;
        M messages;
        const char* mat_after; // nullptr: no file
        ConversionStatus status;
        bool asc_written;
    };
    const std::string fresh_size = "new";
    const Case cases[] = {
        {"existing file, Check_all, overwrite", true, false, true, true, {true, false},
         M{messages::mat_exists_question, messages::mat_exists_backup_warning, messages::finished_close_question}, "new",
         ConversionStatus::Completed, true},
        {"existing file, No at the start", true, false, true, true, {false},
         M{messages::mat_exists_question}, "old material file, longer than the new one", ConversionStatus::Declined,
         false},
        {"not created, existing deleted", false, false, true, true, {true, true, false},
         M{messages::mat_exists_question, messages::mat_not_created_notice, messages::mat_delete_question,
           messages::finished_close_question},
         nullptr, ConversionStatus::Completed, true},
        {"not created, existing kept", false, false, true, true, {true, false, false},
         M{messages::mat_exists_question, messages::mat_not_created_notice, messages::mat_delete_question,
           messages::finished_close_question},
         "old material file, longer than the new one", ConversionStatus::Completed, true},
        {"not created, none there", false, false, true, false, {false},
         M{messages::mat_not_created_notice, messages::finished_close_question}, nullptr, ConversionStatus::Completed,
         true},
        {"Check_createmat alone: no question, so the express ending", false, true, true, false, {}, M{messages::finished_express}, "new",
         ConversionStatus::Completed, true},
        {"scene without materials", true, false, false, true, {true, false},
         M{messages::mat_exists_question, messages::finished_close_question},
         "old material file, longer than the new one", ConversionStatus::Completed, true},
    };
    for (const auto& c : cases) {
        ConversionFixture f;
        f.load("city.ase", ase_scene({}));
        if (c.mapped)
            f.materials({"stone , stone.bmp"}, false);
        if (!c.all)
            f.options(false, false, false, c.createmat);
        if (c.mat_exists)
            f.dir.write("city.mat", "old material file, longer than the new one");
        f.dir.write("testfile.txt", "analysis line\r\n");
        for (bool a : c.answers)
            f.ui.answers.push_back(a);
        start_process(f.session, {.express_run = true, .prepared = nullptr});
        EXPECT_EQ(f.ui.texts(), c.messages) << c.what;
        EXPECT_EQ(f.session.conversion_report.status, c.status) << c.what;
        const std::string mat = f.dir.file("city.mat");
        if (!c.mat_after) {
            EXPECT_FALSE(std::filesystem::exists(mat)) << c.what;
        } else if (std::string(c.mat_after) == "new") {
            EXPECT_EQ(f.output("city.mat"), material_file_bytes(f.session.scene.catalogue)) << c.what;
        } else {
            EXPECT_EQ(f.output("city.mat"), c.mat_after) << c.what;
        }
        EXPECT_EQ(std::filesystem::exists(f.dir.file("city.asc")), c.asc_written) << c.what;
        EXPECT_EQ(f.output("testfile.txt"), c.asc_written ? "" : "analysis line\r\n") << c.what;
        for (const auto& m : f.ui.messages) {
            const std::string& text = m.message.text;
            const MessageIcon icon = text == messages::mat_exists_backup_warning ? MessageIcon::Exclamation
                                     : text == messages::mat_not_created_notice || text == messages::mat_delete_question
                                         ? MessageIcon::Information
                                     : text == messages::finished_express ? MessageIcon::Information
                                                                          : MessageIcon::None;
            EXPECT_EQ(m.message.icon, icon) << text;
            EXPECT_EQ(m.message.caption, 
                      text == messages::finished_close_question || text == messages::finished_express ? "Finished"
                                                                                                       : "Warning");
        }
    }
}
