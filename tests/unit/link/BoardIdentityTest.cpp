#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "link/HidLink.h"
#include "unit/link/LinkFixture.h"

namespace {

struct IdentityCase {
    std::string name;
    HidDeviceInfo device;
    InterfaceRule rule;
    bool isBoard;
};

void PrintTo(const IdentityCase& c, std::ostream* os) {
    *os << c.name;
}

class BoardIdentityTest : public testing::TestWithParam<IdentityCase> {};

TEST_P(BoardIdentityTest, RecognisesOnlyInterfaceOneOfTheBoard) {
    FakeHidBackend backend(std::vector<HidDeviceInfo>{});
    StatusLog log;
    HidLink link(backend, log);
    link.SetBoardIdentity();
    EXPECT_EQ(IsBoardInterface(GetParam().device, link.identity, GetParam().rule),
              GetParam().isBoard);
}

const std::string kWinPath = R"(\\?\hid#vid_03eb&pid_212c&)";
constexpr auto kNumber = InterfaceRule::InterfaceNumber;
constexpr auto kMarker = InterfaceRule::PathMarker;

INSTANTIATE_TEST_SUITE_P(
    Cases, BoardIdentityTest,
    testing::Values(
        IdentityCase{"Version4146", {0x03EB, 0x212C, 4146, 1, "/dev/hidraw0"}, kNumber, true},
        IdentityCase{"Version4402", {0x03EB, 0x212C, 4402, 1, "/dev/hidraw0"}, kNumber, true},
        IdentityCase{"Version4147", {0x03EB, 0x212C, 4147, 1, "/dev/hidraw0"}, kNumber, false},
        IdentityCase{"OtherVendor", {0x03EC, 0x212C, 4146, 1, "/dev/hidraw0"}, kNumber, false},
        IdentityCase{"OtherProduct", {0x03EB, 0x212D, 4146, 1, "/dev/hidraw0"}, kNumber, false},
        IdentityCase{"InterfaceZero", {0x03EB, 0x212C, 4146, 0, "/dev/hidraw0"}, kNumber, false},
        IdentityCase{"InterfaceUnknown", {0x03EB, 0x212C, 4146, -1, "/x&mi_01"}, kNumber, false},
        IdentityCase{
            "MarkerLower", {0x03EB, 0x212C, 4146, -1, kWinPath + "mi_01#7"}, kMarker, true},
        IdentityCase{
            "MarkerUpper", {0x03EB, 0x212C, 4402, -1, kWinPath + "MI_01#7"}, kMarker, true},
        IdentityCase{
            "MarkerMixedCase", {0x03EB, 0x212C, 4146, 1, kWinPath + "Mi_01#7"}, kMarker, false},
        IdentityCase{"MarkerOfInterfaceZero",
                     {0x03EB, 0x212C, 4146, 1, kWinPath + "mi_00#7"},
                     kMarker,
                     false},
        IdentityCase{"MarkerButWrongVersion",
                     {0x03EB, 0x212C, 4147, -1, kWinPath + "mi_01#7"},
                     kMarker,
                     false}),
    [](const testing::TestParamInfo<IdentityCase>& info) { return info.param.name; });

}  // namespace
