#include <gtest/gtest.h>

#include "sim/SimOptions.h"
#include "tests/unit/sim/RawReports.h"

namespace {

TEST(SimOptions, ConsumesSimWordsAndKeepsTheRest) {
    std::vector<std::string> words = {
        "test",
        "--sim-node",
        "1,17=4660",
        "--sim-node=31,51=0x10",
        "--board",
        "sim",
        "--sim-selftest",
        "0x11,2,6,0",
        "--sim-push-selftest=18,4,1,52",
        "--sim-page-offset",
        "-2",
        "--sim-unplug-at-page=25",
        "--sim-silent-after",
        "0",
        "--sim-latency-us=1000",
        "--sim-seed",
        "0xFFFFFFFFFFFFFFFF",
        "file.txt",
    };
    SimOptions options;
    std::string error;
    ASSERT_TRUE(ConsumeSimOptions(words, options, error)) << error;
    EXPECT_EQ(words, (std::vector<std::string>{"test", "--board", "sim", "file.txt"}));
    ASSERT_EQ(options.nodes.size(), 2u);
    EXPECT_EQ(options.nodes[0].x, 1);
    EXPECT_EQ(options.nodes[0].y, 17);
    EXPECT_EQ(options.nodes[0].value, 0x1234);
    EXPECT_EQ(options.nodes[1].value, 16);
    EXPECT_EQ(options.selfTest, (SelfTestResult{0x11, 2, 6, 0}));
    EXPECT_EQ(options.pushSelfTest, (SelfTestResult{0x12, 4, 1, 52}));
    EXPECT_EQ(options.pageOffset, -2);
    EXPECT_EQ(options.unplugAtPage, 25);
    EXPECT_EQ(options.silentAfter, 0u);
    EXPECT_EQ(options.latencyUs, 1000);
    EXPECT_EQ(options.seed, UINT64_MAX);

    std::vector<std::string> codeOnly = {"--sim-selftest", "0"};
    ASSERT_TRUE(ConsumeSimOptions(codeOnly, options, error));
    EXPECT_EQ(options.selfTest, (SelfTestResult{0, 0, 0, 0}));
}

TEST(SimOptions, MalformedOptionsNameThemselves) {
    const struct {
        std::vector<std::string> words;
        const char* mentions;
    } cases[] = {
        {{"--sim-nodes", "1,1=5"}, "unknown option --sim-nodes"},
        {{"--sim-node"}, "--sim-node needs a value"},
        {{"--sim-node", "1,17"}, "\"1,17\""},
        {{"--sim-node", "32,0=5"}, "--sim-node"},
        {{"--sim-node", "0,52=5"}, "--sim-node"},
        {{"--sim-node", "0,0=65536"}, "--sim-node"},
        {{"--sim-node", "0,0,0=1"}, "--sim-node"},
        {{"--sim-node=-1,0=1"}, "--sim-node"},
        {{"--sim-selftest", "0x1FF"}, "--sim-selftest"},
        {{"--sim-selftest", "0x11,2,6"}, "--sim-selftest"},
        {{"--sim-selftest", "0x11,,6,0"}, "--sim-selftest"},
        {{"--sim-push-selftest", "0xFE"}, "--sim-push-selftest"},
        {{"--sim-page-offset", "2x"}, "--sim-page-offset"},
        {{"--sim-unplug-at-page", "26"}, "--sim-unplug-at-page"},
        {{"--sim-silent-after", "-1"}, "--sim-silent-after"},
        {{"--sim-latency-us", "1000001"}, "--sim-latency-us"},
        {{"--sim-seed", "0x"}, "--sim-seed"},
        {{"--sim-seed="}, "--sim-seed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.words.front());
        std::vector<std::string> words = c.words;
        SimOptions options;
        std::string error;
        EXPECT_FALSE(ConsumeSimOptions(words, options, error));
        EXPECT_NE(error.find(c.mentions), std::string::npos) << error;
    }
}

TEST(SimOptions, MakeSimBackendShapesPanelAndBoard) {
    SimOptions options;
    options.seed = 9;
    options.nodes = {{1, 17, 0x1234}};
    options.selfTest = SelfTestResult{0x12, 1, 3, 0};
    options.pageOffset = 2;
    options.silentAfter = 40;
    options.unplugAtPage = 4;
    options.pushSelfTest = SelfTestResult{0x11, 6, 0, 9};
    options.latencyUs = 500;
    const auto backend = MakeSimBackend(options);
    ASSERT_EQ(backend->Enumerate().size(), 1u);
    backend->WithBoard([](SimBoard& board) {
        SimController& controller = board.Controller();
        EXPECT_EQ(controller.Panel().Seed(), 9u);
        EXPECT_EQ(controller.Panel().NodeValue(1, 17), 0x1234);
        EXPECT_EQ(controller.Panel().NodeValue(0, 0), PanelModel(9).NodeValue(0, 0));
        EXPECT_EQ(controller.Panel().SelfTest(), (SelfTestResult{0x12, 1, 3, 0}));
        const SimFaults& faults = board.Faults();
        EXPECT_EQ(faults.silentAfterReports, 40u);
        ASSERT_TRUE(faults.unplugAtPage && faults.pushSelfTest);
        EXPECT_EQ(faults.unplugAtPage->page, 4);
        EXPECT_GE(faults.unplugAtPage->replugAfterMs, 0);
        EXPECT_EQ(faults.pushSelfTest->result, (SelfTestResult{0x11, 6, 0, 9}));

        RawBoard raw{board};
        raw.Command(5, 0x11);
        EXPECT_EQ(raw.Read(raw.Object(37).address, 2)[1], 2) << "starts two pages ahead";
    });
    auto handle = backend->Open(backend->Path());
    EXPECT_EQ(handle->StartWrite(ReadReport(0, 7).data(), 64).kind, WriteStart::Kind::Pending);
}

}  // namespace
