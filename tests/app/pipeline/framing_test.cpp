// SPDX-License-Identifier: GPL-3.0-or-later
// Block framing: lines against CR LF across arbitrary blocks, the overflow stop (also for input
// the driver lost), the line cap and leaving a block once the port has been closed.
#include "pipelinefixture.h"

#include "base/exception.h"
#include "serial/serialcomm.h"

#include <random>
#include <string>
#include <vector>

namespace {

struct FramingCase {
    const char* name;
    std::vector<std::string> blocks;
    std::vector<std::string> labels; // Label10 of each completed line, in order
    std::string rest;                // LineBuffer afterwards
    int termMatched;                 // TermMatched afterwards
};

class FramingTest : public PipelineTest, public testing::WithParamInterface<FramingCase> {};

TEST_P(FramingTest, LinesAndCarryOver) {
    const FramingCase& c = GetParam();
    for (const std::string& block : c.blocks) {
        feed(block);
    }
    EXPECT_EQ(host.Labels, c.labels);
    EXPECT_EQ(acq.SampleCount, static_cast<std::int64_t>(c.labels.size()));
    EXPECT_EQ(acq.LineBuffer, c.rest);
    EXPECT_EQ(acq.TermMatched, c.termMatched);
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, FramingTest,
    testing::Values(
        FramingCase{"OneLine", {"12\r\n"}, {" 12"}, "", 0},
        FramingCase{"TerminatorInNextBlock", {"12", "\r\n"}, {" 12"}, "", 0},
        FramingCase{"LineFeedInNextBlock", {"12\r", "\n"}, {" 12"}, "", 0},
        FramingCase{"PartialLineAndMatchCarryOver", {"12\r"}, {}, "12", 1},
        FramingCase{
            "ByteByByte", {"3", ".", "5", "\r", "\n", "4", "\r", "\n"}, {" 3,5", " 4"}, "", 0},
        FramingCase{"LoneCarriageReturnDropped", {"12\r34\r\n"}, {" 1234"}, "", 0},
        FramingCase{"LoneCarriageReturnAcrossBlocks", {"12\r", "34\r\n"}, {" 1234"}, "", 0},
        FramingCase{"CrCrLfCompletesNoLine", {"5\r\r\n"}, {}, "5\r\n", 0},
        FramingCase{"LineFeedAloneIsText", {"7\n8\r\n"}, {" 7"}, "", 0},
        FramingCase{"EmptyLineIsASampleOfZero", {"1\r\n\r\n2\r\n"}, {" 1", " 0", " 2"}, "", 0},
        FramingCase{"ManyLinesOneBlock", {"1\r\n2\r\n3\r\n4"}, {" 1", " 2", " 3"}, "4", 0}),
    [](const testing::TestParamInfo<FramingCase>& info) { return std::string(info.param.name); });

TEST_F(PipelineTest, BlockOfExactly16000BytesIsFramed) {
    const std::string block = std::string(16000 - 3, '0') + "7\r\n";
    ASSERT_EQ(block.size(), 16000u);
    feed(block);
    EXPECT_EQ(host.Labels, std::vector<std::string>{" 7"});
    EXPECT_EQ(host.Panels[1], "ComBuffer: 16000     ");
    EXPECT_TRUE(host.Messages.empty());
    EXPECT_TRUE(host.Active);
}

TEST_F(PipelineTest, BlockAbove16000BytesStopsWithOverflowAndFramesNothing) {
    feed("12"); // a partial line from before
    std::string block;
    while (block.size() < 16001) {
        block += "1\r\n";
    }
    block.resize(16001);
    feed(block);
    EXPECT_EQ(acq.SampleCount, 0);
    EXPECT_EQ(host.Panels[1], "ComBuffer: 16001     ");
    EXPECT_EQ(host.Messages, std::vector<std::string>{"Com Pufferüberlauf"});
    EXPECT_FALSE(host.Active);
    EXPECT_EQ(host.MenuEnables, 1);
    EXPECT_EQ(host.StopClicks, 1);
    EXPECT_EQ(acq.LineBuffer, "");
    EXPECT_EQ(chart.ItemCount(), 0);
}

TEST_F(PipelineTest, InputLostByTheDriverStopsWithOverflowOtherLineErrorsAreIgnored) {
    feed("1\r\n2");
    for (std::uint32_t ignored : {CE_FRAME, CE_RXPARITY, CE_BREAK, CE_FRAME | CE_BREAK}) {
        acq.SerialComm1CommError(ignored);
    }
    EXPECT_TRUE(host.Messages.empty());
    EXPECT_TRUE(host.Active);
    EXPECT_EQ(acq.LineBuffer, "2");

    for (std::uint32_t lost : {CE_OVERRUN, CE_RXOVER, CE_FRAME | CE_OVERRUN}) {
        SCOPED_TRACE(lost);
        start({});
        host.Messages.clear();
        host.StopClicks = host.MenuEnables = 0;
        feed("1\r\n2");
        acq.SerialComm1CommError(lost);
        EXPECT_EQ(host.Messages, std::vector<std::string>{"Com Pufferüberlauf"});
        EXPECT_FALSE(host.Active);
        EXPECT_EQ(host.MenuEnables, 1);
        EXPECT_EQ(host.StopClicks, 1);
        EXPECT_EQ(acq.LineBuffer, "");
        EXPECT_EQ(acq.SampleCount, 1); // the samples so far stay
        // Once stopped, a late report changes nothing.
        acq.SerialComm1CommError(lost);
        EXPECT_EQ(host.Messages.size(), 1u);
    }
}

TEST_F(PipelineTest, PartialLineIsCappedAndTheRestDroppedUpToTheTerminator) {
    // Without the cap the trailing 7 would make the value 7.
    std::string block(Acquisition::kMaxLineLength, '0');
    for (std::size_t i = 0; i < block.size(); i += 16000) {
        feed(block.substr(i, 16000));
    }
    feed("7777");
    EXPECT_EQ(acq.LineBuffer.size(), Acquisition::kMaxLineLength);
    // A carriage return followed by another byte: that byte is line text, and capped as well.
    feed("\r7\r");
    feed("7");
    EXPECT_EQ(acq.LineBuffer.size(), Acquisition::kMaxLineLength);
    feed("7\r\n5\r\n");
    ASSERT_EQ(host.Labels.size(), 2u);
    EXPECT_EQ(host.Labels[0], " 0");
    EXPECT_EQ(host.Labels[1], " 5");
    EXPECT_EQ(acq.LineBuffer, "");
}

TEST_F(PipelineTest, StopDuringRepaintDropsTheRestOfTheBlock) {
    start({.DynGraph = false});
    host.OnPump = [this] { host.StopButtonClick(); };
    feed("1\r\n2\r\n3\r\n");
    EXPECT_EQ(acq.SampleCount, 1);
    EXPECT_EQ(host.StopClicks, 1);
    EXPECT_EQ(acq.LineBuffer, "");
}

TEST_F(PipelineTest, ValueBeyondSingleRangeLeavesTheFramingWithTheLineKept) {
    feed("1\r\n");
    try {
        feed("1e39\r\n2\r\n");
        FAIL() << "no overflow";
    } catch (const EOverflow& e) {
        EXPECT_EQ(e.Message(), "Gleitkommaüberlauf");
    }
    EXPECT_EQ(acq.SampleCount, 2);
    EXPECT_EQ(acq.LineBuffer, "1e39");
    EXPECT_TRUE(chart.PaintSuspended());
    EXPECT_EQ(chart.ItemCount(), 1);
}

TEST_F(PipelineTest, ScaledValueBeyondSingleRangeOverflows) {
    start({.Factor1 = 1e30f});
    feed("1e8\r\n");
    EXPECT_THROW(feed("1e9\r\n"), EOverflow);
    EXPECT_EQ(acq.SampleCount, 2);
}

TEST_F(PipelineTest, BlockSizeShownForEveryBlock) {
    feed("1\r\n2");
    EXPECT_EQ(host.Panels[1], "ComBuffer: 4     ");
    feed("\r\n");
    EXPECT_EQ(host.Panels[1], "ComBuffer: 2     ");
}

} // namespace

TEST_F(PipelineTest, ARepaintIsMarkedFollowedExactlyWhenAnotherRepaintOfItsBlockComesLater) {
    // The chart may leave a followed repaint undrawn, so a wrong mark either loses a picture
    // (marked, but the last of its block) or draws one nobody sees. Random lines with stray
    // CR and LF bytes, cut into random blocks, from sample counts around the steps of the pacing
    // table, with and without DynGraph.
    std::mt19937 gen(2026);
    for (const std::int64_t from : {0, 495, 995, 2005, 4990, 9990, 74990}) {
        for (const bool dynGraph : {true, false}) {
            start({.DynGraph = dynGraph});
            acq.SampleCount = from;
            acq.RedrawCount = dynGraph && from > 0 ? 1 : 0;
            std::string stream;
            while (stream.size() < 60000) {
                stream += std::to_string(gen() % 1000);
                const unsigned noise = gen() % 40;
                stream += noise == 0 ? "\r" : noise == 1 ? "\n" : noise == 2 ? "\r\r" : "";
                stream += "\r\n";
            }
            for (std::size_t at = 0; at < stream.size();) {
                const std::size_t n = std::min<std::size_t>(stream.size() - at, 1 + gen() % 9000);
                chart.RedrawFollowed.clear();
                feed(stream.substr(at, n));
                at += n;
                ASSERT_FALSE(chart.RepaintFollows()) << "after a block";
                for (std::size_t i = 0; i < chart.RedrawFollowed.size(); ++i) {
                    ASSERT_EQ(chart.RedrawFollowed[i], i + 1 < chart.RedrawFollowed.size())
                        << "repaint " << i << " of " << chart.RedrawFollowed.size() << " from "
                        << from << (dynGraph ? " with" : " without") << " DynGraph";
                }
            }
        }
    }
    // A line handed over alone is never marked.
    start({});
    chart.RedrawFollowed.clear();
    acq.ProcessLine("1");
    acq.ProcessLine("2");
    EXPECT_EQ(chart.RedrawFollowed, std::vector<bool>{false});
}
