#include "recording/trace_log_frames.h"

#include <algorithm>

#include "log_writer.h"
#include "model/can_frame.h"
#include "platform/wall_clock.h"
#include "views/trace_list.h"

canlog::LogFrame ToLogFrame(const TCorvexTraceItem& item, std::uint8_t channel) {
    canlog::LogFrame frame;
    frame.timeUs = item.TimeUs;
    frame.channel = channel;
    frame.tx = item.IsOutgoing;
    frame.extended = !item.IsStandard;
    frame.remote = item.IsRemote;
    frame.length = static_cast<std::uint8_t>(std::clamp(item.Len, 0, 8));
    // The identifier as it went on the bus: a standard frame sent from an
    // item with a longer identifier keeps its low 11 bits only.
    frame.id = item.Id & (frame.extended ? 0x1FFFFFFFu : 0x7FFu);
    if (!frame.remote)
        std::copy(item.Data.begin(), item.Data.begin() + frame.length, frame.data.begin());
    return frame;
}

TCanFrame ToCanFrame(const canlog::LogFrame& frame, std::int64_t firstUs) {
    TCanFrame result;
    result.Id = frame.id;
    result.Len = frame.length;
    result.Data = frame.data;
    result.IsRemote = frame.remote;
    result.IsStandard = !frame.extended;
    result.TimeStamp = static_cast<std::uint32_t>((frame.timeUs - firstUs) / 1000);
    result.TimeUs = frame.timeUs;
    return result;
}

std::vector<canlog::LogFrame> MergedTrace(const std::vector<TTraceSource>& sources) {
    std::vector<canlog::LogFrame> frames;
    for (const TTraceSource& source : sources) {
        const int count = source.List->Count();
        for (int i = 0; i < count; ++i) {
            if (const TCorvexTraceItem* item = source.List->Items(i))
                frames.push_back(ToLogFrame(*item, source.Channel));
        }
    }
    std::stable_sort(frames.begin(), frames.end(),
                     [](const auto& a, const auto& b) { return a.timeUs < b.timeUs; });
    return frames;
}

bool SaveLog(const std::vector<canlog::LogFrame>& frames, const std::string& path,
             canlog::Format format, std::string& error) {
    const std::int64_t startUs = frames.empty() ? platform::WallClockUs() : frames.front().timeUs;
    auto writer = canlog::LogWriter::create(path, format, startUs, error);
    if (!writer)
        return false;
    for (const auto& frame : frames)
        writer->write(frame);
    if (!writer->finish()) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}
