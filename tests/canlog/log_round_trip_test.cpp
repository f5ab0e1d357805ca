// Our writers and readers against each other: every format keeps what it can
// carry of every sample frame.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

#include "line_text.h"
#include "log_reader.h"
#include "log_writer.h"
#include "sample_frames.h"

namespace canlog {
namespace {

std::string writeToText(Format format, const std::vector<LogFrame>& frames) {
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* stream = open_memstream(&buffer, &size);
    {
        LogWriter writer(stream, format, frames.front().timeUs);
        for (const auto& frame : frames)
            EXPECT_TRUE(writer.write(frame));
        EXPECT_TRUE(writer.finish());
        EXPECT_EQ(writer.bytesWritten(), size);
    }
    std::fclose(stream);
    std::string text(buffer, size);
    std::free(buffer);
    return text;
}

LogContents readText(Format format, const std::string& text) {
    std::istringstream in(text);
    return readLog(in, format);
}

// What a candump line cannot carry: the direction.
LogFrame withoutDirection(LogFrame frame) {
    frame.tx = false;
    return frame;
}

TEST(LogRoundTrip, AscAndCsvKeepEveryField) {
    const auto frames = test::sampleFrames();
    for (Format format : {Format::Asc, Format::Csv}) {
        const std::string text = writeToText(format, frames);
        const auto back = readText(format, text);
        EXPECT_EQ(back.malformedLines, 0u) << formatName(format) << ": " << back.summary();
        ASSERT_EQ(back.frames.size(), frames.size()) << text;
        for (std::size_t i = 0; i < frames.size(); ++i)
            EXPECT_EQ(back.frames[i], frames[i]) << formatName(format) << " frame " << i;
    }
}

TEST(LogRoundTrip, CandumpKeepsAllButDirection) {
    const auto frames = test::sampleFrames();
    const std::string text = writeToText(Format::Candump, frames);
    const auto back = readText(Format::Candump, text);
    EXPECT_EQ(back.malformedLines, 0u) << back.summary();
    ASSERT_EQ(back.frames.size(), frames.size());
    for (std::size_t i = 0; i < frames.size(); ++i)
        EXPECT_EQ(back.frames[i], withoutDirection(frames[i])) << "frame " << i;
}

TEST(LogText, LinesAreWrittenAsOtherToolsWriteThem) {
    LogFrame frame;
    frame.timeUs = 1'700'000'000'123'456;
    frame.id = 0x123;
    frame.length = 4;
    frame.data = {0x11, 0x22, 0x33, 0x44};
    std::string line;
    appendFrameLine(line, Format::Candump, frame, 0);
    EXPECT_EQ(line, "(1700000000.123456) can0 123#11223344");

    frame.channel = 1;
    frame.extended = true;
    frame.id = 0x1ABCDE;
    frame.remote = true;
    line.clear();
    appendFrameLine(line, Format::Candump, frame, 0);
    EXPECT_EQ(line, "(1700000000.123456) can1 001ABCDE#R4");

    frame.remote = false;
    frame.tx = true;
    line.clear();
    appendFrameLine(line, Format::Asc, frame, frame.timeUs - 1'234'500);
    EXPECT_EQ(line, "   1.234500 2  1ABCDEx         Tx   d 4 11 22 33 44");

    line.clear();
    appendFrameLine(line, Format::Csv, frame, 0);
    EXPECT_EQ(line, "1700000000.123456,1,Tx,001ABCDE,1,0,4,11 22 33 44");

    const std::string header = fileHeader(Format::Asc, frame.timeUs);
    EXPECT_EQ(header.rfind("date ", 0), 0u);
    EXPECT_NE(header.find("\nbase hex  timestamps absolute\n"), std::string::npos);
    EXPECT_NE(header.find("\nBegin Triggerblock "), std::string::npos);
    EXPECT_EQ(fileFooter(Format::Asc), "End TriggerBlock\n");
}

TEST(LogReader, MalformedLinesAreSkippedCountedAndNamed) {
    const std::string text = "(1.000000) can0 123#11\n"
                             "(2.000000) can0 12G#11\n"                 // bad identifier
                             "\n"                                       // empty: skipped silently
                             "# a comment\n"                            // skipped silently
                             "(3.000000) can1 123#112\n"                // odd data digits
                             "(4.000000) can0 123#1122334455667788AA\n" // nine bytes
                             "(5.000000) can0 800#\n"                   // standard id out of range
                             "(6.000000) can0 123##0112\n"              // CAN FD
                             "(7) can1 1FFFFFFF#R9\n"                   // bad remote length
                             "(8.5) vcan3 12345678#R\n"                 // fine: channel 3
                             "(9.0) can0 123#11 X\n";                   // junk after the frame
    const auto contents = readText(Format::Candump, text);
    ASSERT_EQ(contents.frames.size(), 2u);
    EXPECT_EQ(contents.frames[1].channel, 3);
    EXPECT_EQ(contents.frames[1].timeUs, 8'500'000);
    EXPECT_TRUE(contents.frames[1].remote);
    EXPECT_EQ(contents.malformedLines, 7u);
    ASSERT_EQ(contents.problems.size(), 7u);
    EXPECT_EQ(contents.problems[0], "line 2: bad identifier '12G'");
    EXPECT_EQ(contents.problems[1].rfind("line 5: bad data", 0), 0u);
    EXPECT_EQ(contents.problems[6].rfind("line 11: ", 0), 0u);
    EXPECT_EQ(contents.summary().rfind("7 malformed lines skipped; line 2: ", 0), 0u);
}

TEST(LogReader, OverlongAndUnterminatedLinesNeverRunPastTheInput) {
    std::string text = "(1.0) can0 123#" + std::string(kMaxLineLength * 3, 'A') + "\n";
    text += "(2.0) can0 456#01"; // no terminator at the end
    const auto contents = readText(Format::Candump, text);
    ASSERT_EQ(contents.frames.size(), 1u);
    EXPECT_EQ(contents.frames[0].id, 0x456u);
    EXPECT_EQ(contents.malformedLines, 1u);
    ASSERT_FALSE(contents.problems.empty());
    EXPECT_EQ(contents.problems[0].rfind("line 1: line longer than", 0), 0u);

    const auto cut = readText(Format::Candump, std::string(kMaxLineLength + 1, 'x'));
    EXPECT_EQ(cut.frames.size(), 0u);
    EXPECT_EQ(cut.malformedLines, 1u);
}

TEST(LogReader, AscHeadersEventsAndVariants) {
    const std::string text = "date Tue Dec 08 01:02:03.250 PM 2026\n"
                             "base dec  timestamps relative\n"
                             "internal events logged\n"
                             "// version 9.0.0\n"
                             "Begin Triggerblock Tue Dec 08 01:02:03.250 PM 2026\n"
                             "   0.000000 Start of measurement\n"
                             "   0.500000 1  291             Rx   d 2 17 255\n"
                             "   0.250000 2  100x            Tx   r\n" // old remote: no length
                             "   0.100000 1  ErrorFrame\n"
                             "   0.100000 CANFD   1 Rx 123 1 0 8 8 11 22 33 44 55 66 77 88\n"
                             "   0.100000 1  2048            Rx   d 0\n"     // id out of range
                             "   0.100000 1  291             Rx   d 3 1 2\n" // short data
                             "garbage\n"
                             "End TriggerBlock\n";
    const auto contents = readText(Format::Asc, text);
    ASSERT_EQ(contents.frames.size(), 2u) << contents.summary();
    EXPECT_EQ(contents.malformedLines, 3u);
    const auto& first = contents.frames[0];
    EXPECT_EQ(first.id, 291u);
    EXPECT_EQ(first.length, 2);
    EXPECT_EQ(first.data[1], 255);
    EXPECT_FALSE(first.tx);
    const auto& second = contents.frames[1];
    EXPECT_TRUE(second.extended);
    EXPECT_TRUE(second.remote);
    EXPECT_TRUE(second.tx);
    EXPECT_EQ(second.channel, 1);
    EXPECT_EQ(second.id, 100u);
    // Relative stamps add up from the start date.
    EXPECT_EQ(second.timeUs - first.timeUs, 250'000);
    EXPECT_EQ(first.timeUs % 1'000'000, 750'000);
}

TEST(LogReader, CsvRejectsFieldsThatDoNotAddUp) {
    const std::string text = std::string(kCsvHeader) + "\n"
                                                       "1.5,0,Rx,123,0,0,2,01 02\n"
                                                       "1.6,0,Rx,123,0,0,2,01\n"
                                                       "1.7,0,Up,123,0,0,0,\n"
                                                       "1.8,0,Rx,800,0,0,0,\n"
                                                       "1.9,1,Tx,1FFFFFFF,1,1,8,\n"
                                                       "2.0,1,Tx,123,0,0,0\n";
    const auto contents = readText(Format::Csv, text);
    ASSERT_EQ(contents.frames.size(), 2u);
    EXPECT_EQ(contents.frames[1].length, 8);
    EXPECT_TRUE(contents.frames[1].remote);
    EXPECT_EQ(contents.malformedLines, 4u);
}

TEST(LogFormat, ChosenByNameExtensionOrFirstLine) {
    EXPECT_EQ(formatFromPath("/tmp/x.d/trace.ASC"), Format::Asc);
    EXPECT_EQ(formatFromPath("trace.log"), Format::Candump);
    EXPECT_EQ(formatFromPath("a.csv"), Format::Csv);
    EXPECT_EQ(formatFromPath("/tmp/x.d/trace"), std::nullopt);
    EXPECT_EQ(formatFromName("CSV"), Format::Csv);
    EXPECT_EQ(formatFromFirstLine("  (1.0) can0 1#"), Format::Candump);
    EXPECT_EQ(formatFromFirstLine("date Tue"), Format::Asc);
    EXPECT_EQ(formatFromFirstLine(kCsvHeader), Format::Csv);
    EXPECT_EQ(formatFromFirstLine("hello"), std::nullopt);
}

} // namespace
} // namespace canlog
