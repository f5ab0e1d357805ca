// What the window keeps in the settings file besides the channel settings:
// its place and size, the splitter between the pages and the transmit grid,
// and the trace memory limit. Each in a section of its own.
#include "main_window.h"

#include "adapters/adapter_custom.h"
#include "platform/ini_file.h"
#include "views/trace_list.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSplitter>

namespace {
const std::string kWindowSection = "Window";
const std::string kTraceSection = "Trace";
// Newest frames each channel's trace keeps; 0 keeps every frame.
const std::string kTraceLimitKey = "MemoryLimitFrames";
constexpr int kMissing = -1;
} // namespace

void TfmMain::LoadWindowSettings() {
    const platform::TIniFile ini(FIniFileName);
    const QRect saved(ini.ReadInteger(kWindowSection, "Left", kMissing),
                      ini.ReadInteger(kWindowSection, "Top", kMissing),
                      ini.ReadInteger(kWindowSection, "Width", kMissing),
                      ini.ReadInteger(kWindowSection, "Height", kMissing));
    // A place on no screen any more (a monitor gone) keeps the centred default.
    bool onScreen = false;
    for (const QScreen* screen : QGuiApplication::screens())
        onScreen = onScreen || screen->availableGeometry().intersects(saved);
    if (saved.width() > 0 && saved.height() > 0 && onScreen)
        setGeometry(saved);
    if (ini.ReadInteger(kWindowSection, "Maximized", 0) == 1)
        setWindowState(windowState() | Qt::WindowMaximized);
    const int pages = ini.ReadInteger(kWindowSection, "SplitterPages", kMissing);
    const int transmit = ini.ReadInteger(kWindowSection, "SplitterTransmit", kMissing);
    if (pages >= 0 && transmit >= 0)
        Splitter1->setSizes({pages, transmit});

    const int limit = ini.ReadInteger(kTraceSection, kTraceLimitKey, 0);
    FTraceLimit = limit > 0 ? static_cast<std::size_t>(limit) : 0;
    ApplyTraceLimit();
}

void TfmMain::ApplyTraceLimit() {
    if (FAdapter == nullptr)
        return;
    for (int i = 0; i < FAdapter->GetChannelCount(); ++i)
        if (TCorvexTraceList* trace = FAdapter->GetTraceList(i))
            trace->SetLimit(FTraceLimit);
}

bool TfmMain::SaveWindowSettings() {
    platform::TIniFile ini(FIniFileName);
    const QRect place = normalGeometry();
    bool written = ini.WriteInteger(kWindowSection, "Left", place.x());
    written &= ini.WriteInteger(kWindowSection, "Top", place.y());
    written &= ini.WriteInteger(kWindowSection, "Width", place.width());
    written &= ini.WriteInteger(kWindowSection, "Height", place.height());
    written &= ini.WriteInteger(kWindowSection, "Maximized", isMaximized() ? 1 : 0);
    const QList<int> sizes = Splitter1->sizes();
    if (sizes.size() == 2) {
        written &= ini.WriteInteger(kWindowSection, "SplitterPages", sizes[0]);
        written &= ini.WriteInteger(kWindowSection, "SplitterTransmit", sizes[1]);
    }
    written &=
        ini.WriteInteger(kTraceSection, kTraceLimitKey, static_cast<std::int32_t>(FTraceLimit));
    return written;
}
