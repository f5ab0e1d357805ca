#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "model/can_frame.h"
#include "views/frame_table.h"

// The receive thread feeds the table and carries out requests; the window's
// thread asks for clears and refreshes, rebinds the events and reads row
// snapshots, as the window and its presenter do.
TEST(FrameTableStress, ReceiveThreadAndWindowThread) {
    TCorvexTable table;
    std::atomic<bool> done{false};
    std::atomic<int> changes{0};
    std::atomic<int> wrongRows{0};
    // Feeds at least 200,000 frames, and goes on until the window's thread has
    // had a change event delivered, so the rebinding always races with updates.
    std::thread receive([&] {
        TCanFrame frame;
        for (std::uint32_t i = 0; i < 200000 || changes.load() == 0; ++i) {
            frame.Id = (i * 2654435761u) % 300;
            frame.IsStandard = (i & 1) != 0;
            frame.IsRemote = (i & 2) != 0;
            frame.Len = i % 9;
            frame.Data.fill(static_cast<std::uint8_t>(frame.Id));
            frame.TimeStamp = i;
            table.Update(frame);
            if (i % 48 == 0)
                table.ProcessRequests();
        }
        done.store(true);
    });

    TCorvexTableItem snapshot(0, true, true);
    int badSnapshots = 0;
    int round = 0;
    while (!done.load()) {
        ++round;
        if (round % 50 == 0)
            table.RequestClear();
        if (round % 30 == 0)
            table.RequestRefresh();
        if (round % 2 == 0)
            table.SetOnItemChanged([&](TCorvexTableItem* row, int index, bool) {
                // Runs on the receive thread with the row current.
                wrongRows.fetch_add(table.Items(index) != row ? 1 : 0);
                changes.fetch_add(1);
            });
        else
            table.SetOnItemChanged(nullptr);
        const int count = table.Count();
        for (int i = 0; i < count; i += 7) {
            if (!table.ReadItem(i, snapshot))
                break; // cleared meanwhile
            const bool whole =
                snapshot.Key == TCorvexTableItem::MakeKey(snapshot.Id, snapshot.IsStandard,
                                                          snapshot.IsRemote) &&
                snapshot.Len <= 8 &&
                (snapshot.IsRemote || snapshot.Len == 0 ||
                 snapshot.Data[0] == static_cast<std::uint8_t>(snapshot.Id));
            badSnapshots += whole ? 0 : 1;
        }
    }
    receive.join();
    EXPECT_EQ(badSnapshots, 0);
    EXPECT_EQ(wrongRows.load(), 0);
    EXPECT_GT(changes.load(), 0);
    for (int i = 1; i < table.Count(); ++i)
        EXPECT_LT(table.Items(i - 1)->Key, table.Items(i)->Key);
}
