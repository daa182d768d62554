#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "analysis/material_catalogue.hpp"
#include "support/ase_builder.hpp"
#include "support/temp_dir.hpp"

using namespace trevanix;
using namespace trevanix::testing;

namespace {

const char* const empty_pair = "[{empty material}] , [{empty material}]";

struct Catalogued {
    MaterialCatalogue catalogue;
    CatalogueOutcome outcome;
};

Catalogued catalogue_of(const TempDir& dir, const std::string& materials, MaterialCatalogue start = {})
{
    const std::string path = dir.write("scene.ase", ase_header() + materials + ase_object({}));
    CatalogueInput input;
    input.path = path;
    input.tiff_folder = dir.file("TIFFRGB");
    Catalogued result{std::move(start), {}};
    const CatalogueOutcome sized = size_material_list(input, result.catalogue);
    EXPECT_TRUE(sized.readable && sized.counts_in_range);
    result.outcome = read_material_catalogue(input, result.catalogue);
    return result;
}

// Every cell that holds a text, as "m,s: text", row by row: a cell filled
// where none should be shows up here, which cell() alone cannot tell from a
// cell outside the table.
std::vector<std::string> filled_cells(const MaterialCatalogue& c)
{
    std::vector<std::string> out;
    for (std::size_t m = 0; m < c.cells.size(); ++m)
        for (std::size_t s = 0; s < c.cells[m].size(); ++s)
            if (!c.cells[m][s].empty())
                out.push_back(std::to_string(m) + "," + std::to_string(s) + ": " + c.cells[m][s]);
    return out;
}

} // namespace

TEST(MaterialCatalogue, FillsOneCellPerMaterialAndSubmaterial)
{
    TempDir dir;
    const auto r = catalogue_of(
        dir, material_list({standard_material("stone", "C:\\maps\\wall.bmp"), gta_material("grass", "grass.bmp"),
                            multi_material("multi", {standard_submaterial("a", "a.bmp"), standard_submaterial("b", ""),
                                                     gta_submaterial("c_map", "c.bmp")}),
                            standard_material("bare", "")}));
    const MaterialCatalogue& c = r.catalogue;
    EXPECT_EQ(r.outcome.has_materials, 1);
    EXPECT_EQ(c.material_count, 4);
    EXPECT_EQ(c.submaterial_counts, (std::vector<int>{0, 0, 3, 0}));
    EXPECT_EQ(c.last_submaterial, (std::vector<int>{0, 0, 2, 0, 0}));
    EXPECT_GE(c.largest_submaterial_count, 3);
    // Rows 0 to the material count, the last one empty; nothing beyond a
    // material's own sub-materials.
    EXPECT_EQ(c.cells.size(), 5u);
    EXPECT_EQ(filled_cells(c), (std::vector<std::string>{"0,0: stone , C:\\maps\\wall.bmp", "1,0: grass , grass.bmp",
                                                         "2,0: a , a.bmp", std::string("2,1: ") + empty_pair,
                                                         "2,2: c_map , c.bmp", std::string("3,0: ") + empty_pair}));
    EXPECT_EQ(c.cell(1, 0), "grass , grass.bmp");
}

TEST(MaterialCatalogue, LongGtaTexturesGetShortNamesAndTheirPicturesAreRenamed)
{
    TempDir dir;
    dir.write("TIFFRGB/brickwall_pattern_large.tif", "picture");
    dir.write("TIFFRGB/brickwall_pattern_small.tif", "other");
    dir.write("TIFFRGB/exactly_19_chars.tif", "kept");
    const auto r = catalogue_of(dir, material_list({gta_material("m0", "brickwall_pattern_large.bmp"),
                                                    gta_material("m1", "brickwall_pattern_large.bmp"),
                                                    gta_material("m2", "brickwall_pattern_small.bmp"),
                                                    gta_material("m3", "exactly_19_chars.bm"),
                                                    standard_material("m4", "a_standard_texture_name_that_is_long.bmp")}));
    const MaterialCatalogue& c = r.catalogue;
    EXPECT_EQ(c.cell(0, 0), "m0 , brickwall_p\xAB" "0.tga");
    EXPECT_EQ(c.cell(1, 0), "m1 , brickwall_p\xAB" "0.tga");
    EXPECT_EQ(c.cell(2, 0), "m2 , brickwall_p\xAB" "1.tga");
    EXPECT_EQ(c.cell(3, 0), "m3 , exactly_19_chars.bm");
    EXPECT_EQ(c.cell(4, 0), "m4 , a_standard_texture_name_that_is_long.bmp");
    ASSERT_EQ(c.short_texture_names.size(), 2u);
    // On disk the mark is written in the file system's own encoding.
    EXPECT_EQ(read_bytes(dir.file("TIFFRGB/brickwall_p\xC2\xAB" "0.tif")), "picture");
    EXPECT_EQ(read_bytes(dir.file("TIFFRGB/brickwall_p\xC2\xAB" "1.tif")), "other");
    EXPECT_FALSE(std::filesystem::exists(dir.file("TIFFRGB/brickwall_pattern_large.tif")));
    EXPECT_TRUE(std::filesystem::exists(dir.file("TIFFRGB/exactly_19_chars.tif")));
    EXPECT_TRUE(r.outcome.rename_failures.empty());
}

TEST(MaterialCatalogue, RenamesNeverReplaceAFileNorLeaveTheFolderAndSayWhy)
{
    const std::string nul_texture("notes_not_a_picture\0zzzzzzzzz.bmp", 33);
    struct Case {
        const char* what;
        std::string texture;
        std::vector<std::pair<std::string, std::string>> files; // written before, and unchanged after
        std::function<void(const TempDir&)> prepare;
        const char* reason; // the key it is listed with; none: not listed at all
    };
    const Case cases[] = {
        {"the short name is another picture", "brickwall_pattern_large.bmp",
         {{"TIFFRGB/brickwall_pattern_large.tif", "new"}, {"TIFFRGB/brickwall_p\xC2\xAB" "0.tif", "existing"}}, {},
         "short_name_taken"},
        {"only the short name is there", "brickwall_pattern_large.bmp",
         {{"TIFFRGB/brickwall_p\xC2\xAB" "0.tif", "existing"}}, {}, "may_belong_to_another_scene"},
        {"a texture with a folder", "sub\\folder_texture_long_name.bmp",
         {{"TIFFRGB/sub/folder_texture_long_name.tif", "nested"}}, {}, nullptr},
        {"a NUL in the texture name", nul_texture, {{"TIFFRGB/notes_not_a_picture", "notes"}}, {}, "control_character"},
        {"an escape in the texture name", "brickwall\x1b[2Jpattern_large.bmp",
         {{"TIFFRGB/brickwall\x1b[2Jpattern_large.tif", "picture"}}, {}, "control_character"},
        {"a TIFFRGB that is a link", "brickwall_pattern_large.bmp", {{"elsewhere/brickwall_pattern_large.tif", "theirs"}},
         [](const TempDir& d) { std::filesystem::create_directory_symlink(d.file("elsewhere"), d.file("TIFFRGB")); },
         "linked_folder"},
        {"a picture that is a link", "brickwall_pattern_large.bmp", {{"elsewhere/target.tif", "theirs"}},
         [](const TempDir& d) {
             std::filesystem::create_directories(d.file("TIFFRGB"));
             std::filesystem::create_symlink(d.file("elsewhere/target.tif"), d.file("TIFFRGB/brickwall_pattern_large.tif"));
         },
         "not_a_regular_file"},
        {"a texture name without a three-letter extension", "long_texture_name_no_ext",
         {{"TIFFRGB/long_texture_name_no_tif", "not a picture"}}, {}, "not_a_tif_name"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        for (const auto& [name, bytes] : c.files)
            dir.write(name, bytes);
        if (c.prepare)
            c.prepare(dir);
        const auto r = catalogue_of(dir, material_list({gta_material("m0", c.texture)}));
        for (const auto& [name, bytes] : c.files)
            EXPECT_EQ(read_bytes(dir.file(name)), bytes) << name;
        EXPECT_TRUE(r.outcome.renamed_pictures.empty());
        EXPECT_TRUE(r.outcome.rename_failures.empty());
        ASSERT_EQ(r.outcome.unrenamed_pictures.size(), c.reason != nullptr ? 1u : 0u);
        if (c.reason != nullptr) {
            EXPECT_EQ(r.outcome.unrenamed_pictures[0].reason, c.reason);
            EXPECT_NE(unrenamed_picture_text(c.reason), "it was not renamed");
        }
        // The texture keeps its short name in the catalogue, whatever befell its picture.
        EXPECT_NE(r.catalogue.cell(0, 0).find("\xAB" "0.tga"), std::string::npos);
    }
}

TEST(MaterialCatalogue, ACountOfZeroKeepsTheEarlierTables)
{
    TempDir dir;
    MaterialCatalogue earlier;
    earlier.cells = {{"old , old.bmp"}};
    earlier.last_submaterial = {0};
    const auto r = catalogue_of(dir, "*MATERIAL_LIST {\r\n\t*MATERIAL_COUNT 0\r\n}\r\n", earlier);
    EXPECT_EQ(r.outcome.has_materials, 0);
    EXPECT_EQ(r.catalogue.cell(0, 0), "old , old.bmp");
    EXPECT_EQ(r.catalogue.material_count, 0);
}

TEST(MaterialCatalogue, OtherClassesGetAnEmptyPairAndTheNextMaterialIsRead)
{
    TempDir dir;
    const std::string blend = "\t\t*MATERIAL_NAME \"mix\"\r\n\t\t*MATERIAL_CLASS \"Blend\"\r\n\t\t*MATERIAL_WIRESIZE 1.0\r\n"
                              "\t\t*MAP_DIFFUSE {\r\n\t\t\t*BITMAP \"mix.bmp\"\r\n\t\t}\r\n";
    const auto r = catalogue_of(dir, material_list({blend, standard_material("after", "after.bmp")}));
    EXPECT_EQ(r.catalogue.cell(0, 0), empty_pair);
    EXPECT_EQ(r.catalogue.cell(1, 0), "after , after.bmp");
}

TEST(MaterialCatalogue, AListCutShortStopsAtTheEndOfTheFile)
{
    TempDir dir;
    const std::string path = dir.write("cut.ase", ase_header() + "*MATERIAL_LIST {\r\n\t*MATERIAL_COUNT 3\r\n\t*MATERIAL 0 {\r\n"
                                                              "\t\t*MATERIAL_NAME \"m\"\r\n\t\t*MATERIAL_CLASS \"Multi/Sub-Object\"\r\n");
    CatalogueInput input;
    input.path = path;
    input.tiff_folder = dir.file("TIFFRGB");
    MaterialCatalogue c;
    EXPECT_TRUE(size_material_list(input, c).readable);
    const auto outcome = read_material_catalogue(input, c);
    EXPECT_TRUE(outcome.readable);
    EXPECT_EQ(outcome.has_materials, 1);
}
