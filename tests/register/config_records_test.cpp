// The configuration's records with their places in the text, and the text
// rewritten with new scan poses.
#include "register/config_records.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "register/register_report.h"

namespace {

ConfigPose pose(float tx, float ty, float tz, float qx, float qy, float qz, float qw) {
    return ConfigPose{{tx, ty, tz, qx, qy, qz, qw}};
}

std::string rewritten(const std::string& text, const std::vector<ConfigPose>& poses,
                      const std::string& header = "") {
    std::string out, error;
    EXPECT_TRUE(rewriteConfig(text, poses, header, &out, &error)) << error;
    return out;
}

TEST(ConfigRewrite, OnlyTheNumbersThatChangeAreRewritten) {
    const std::string text =
        "camera -0.0172 -0.0936 -0.734  -0.0461723 0.970603 -0.235889 0.0124573\r\n"
        "bmesh a.ply 0 0 0 0 0 0 1\r\n"
        "note x.ply 1 2 3 4 5 6 7\n"
        "BMesh\tb.ply  1.5 2 3e-3\t0 0.7071068 0 0.7071068   \n"
        "\n";
    const std::vector<ConfigPose> poses = {pose(0, 0, 0, 0, 0, 0, 1),
                                           pose(1.25f, 2, 0.003f, 0, 0.70710677f, 0, 0.70710677f)};
    EXPECT_EQ(rewritten(text, poses, "# refined"),
              "# refined\n"
              "camera -0.0172 -0.0936 -0.734  -0.0461723 0.970603 -0.235889 0.0124573\r\n"
              "bmesh a.ply 0 0 0 0 0 0 1\r\n"
              "note x.ply 1 2 3 4 5 6 7\n"
              "BMesh\tb.ply  1.25 2 3e-3\t0 0.70710677 0 0.70710677   \n"
              "\n");
    // The same poses and no header: the very same text.
    const std::vector<ConfigRecord> records = readConfigRecords(text);
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[3].keyword, "BMesh");
    EXPECT_TRUE(records[3].isScan());
    std::vector<ConfigPose> same(2);
    std::memcpy(same[0].values, records[1].values, sizeof same[0].values);
    std::memcpy(same[1].values, records[3].values, sizeof same[1].values);
    EXPECT_EQ(rewritten(text, same), text);
}

TEST(ConfigRewrite, RecordsCutShortAreWrittenWhole) {
    // a.ply lacks its quaternion (a word follows), c.ply all but tx (the
    // file ends): the reader takes the rest from the record before.
    const std::string text = "bmesh a.ply 1 2 3 bmesh b.ply 0 0 0 0 0 0 1\nbmesh c.ply 5";
    const std::vector<ConfigRecord> records = readConfigRecords(text);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].fieldsRead, 5);
    EXPECT_EQ(records[2].fieldsRead, 3);
    EXPECT_EQ(records[2].values[6], 1);
    const std::vector<ConfigPose> poses = {pose(1, 2, 3, 0, 0, 0, 1), pose(0, 0, 0, 0, 0, 0, 1),
                                           pose(5, 0.5f, 0, 0, 0, 0, 1)};
    EXPECT_EQ(rewritten(text, poses),
              "bmesh a.ply 1 2 3 0 0 0 1 bmesh b.ply 0 0 0 0 0 0 1\nbmesh c.ply 5 0.5 0 0 0 0 1");
    // A number glued to the next word is still cut off from it.
    EXPECT_EQ(rewritten("bmesh a.ply 1 2 3bmesh b.ply 0 0 0 0 0 0 1", {poses[0], poses[1]}),
              "bmesh a.ply 1 2 3 0 0 0 1 bmesh b.ply 0 0 0 0 0 0 1");
}

TEST(ConfigRewrite, AHeaderReplacesTheOneAnEarlierRunWrote) {
    const std::string text =
        "# rangeloom-register: poses refined with a.ply held fixed\n"
        "bmesh a.ply 0 0 0 0 0 0 1\n";
    EXPECT_EQ(rewritten(text, {pose(1, 0, 0, 0, 0, 0, 1)},
                        "# rangeloom-register: poses refined with b.ply held fixed"),
              "# rangeloom-register: poses refined with b.ply held fixed\n"
              "bmesh a.ply 1 0 0 0 0 0 1\n");
    // The header the program writes, whose words the reader does not name.
    EXPECT_EQ(registrationHeader("b.ply"),
              "# rangeloom-register: poses refined with b.ply held fixed");
    // A header that would change what the reader reads is refused.
    std::string out, error;
    EXPECT_FALSE(rewriteConfig(text, {pose(1, 0, 0, 0, 0, 0, 1)}, "# three words", &out, &error));
    EXPECT_FALSE(rewriteConfig(text, {}, "", &out, &error));
    EXPECT_NE(error.find("1 scan records, not 0"), std::string::npos) << error;
}

TEST(ShortestFloat, ReadsBackAsTheSameFloatWithFewDigits) {
    for (float v :
         {0.0f, -0.0f, 1.0f, 0.1f, -0.0520211f, 2.20761e-05f, 0.70710677f, 3.4e38f, 1e-40f}) {
        const std::string s = shortestFloat(v);
        const float back = std::strtof(s.c_str(), nullptr);
        EXPECT_EQ(std::memcmp(&back, &v, sizeof v), 0) << s;
    }
    EXPECT_EQ(shortestFloat(0.1f), "0.1");
    EXPECT_EQ(shortestFloat(-0.0520211f), "-0.0520211");
}

}  // namespace
