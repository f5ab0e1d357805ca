#pragma once

#include <QDialog>

#include <memory>
#include <vector>

#include "log_reader.h"

class QComboBox;
class TCorvexTable;
class TCorvexTraceList;
class TListViewFrameTable;
class TTraceView;

// A log file shown offline: per channel in the log a page with a read-only
// trace and frame table, the same views the live channels use, fed from the
// log instead of an adapter. Live channels are not touched. Window's thread.
class TLogViewDialog : public QDialog {
    Q_OBJECT

public:
    TLogViewDialog(const QString& path, const canlog::LogContents& contents,
                   QWidget* parent = nullptr);
    ~TLogViewDialog() override;

    // The trace view of the n-th page, for tests.
    TTraceView* TraceView(int page) const;
    TListViewFrameTable* TableView(int page) const;

private:
    struct TChannelPage {
        int Channel;
        std::unique_ptr<TCorvexTraceList> Trace;
        std::unique_ptr<TCorvexTable> Table;
        TTraceView* TraceView;
        TListViewFrameTable* TableView;
    };
    std::vector<TChannelPage> FPages;
    QComboBox* cbTime;
};
