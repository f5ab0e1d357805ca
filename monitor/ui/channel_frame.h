#pragma once

#include <QFrame>

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;

// Control panel of one CAN channel: bit rate, frame format and the button that
// opens or closes the channel. It holds no channel logic; the main window binds
// its signals. The channel index is the frame's tag and is carried by every
// signal, so one handler serves all frames.
class TfrChannelMan : public QFrame {
    Q_OBJECT

public:
    explicit TfrChannelMan(QWidget* parent = nullptr);

    void SetChannelIndex(int index);
    void SetSingleChannel(bool flag);
    void SetOpened(bool flag);
    void SetCaption(const QString& text);
    // What went wrong with the open channel, shown after the caption; empty
    // while it works.
    void SetFault(const QString& text);
    const QString& Fault() const { return FFault; }

    int Tag() const { return FTag; }
    bool IsSingleChannel() const { return FSingleChannel; }
    bool IsOpened() const { return FOpened; }

    QGroupBox* gbMain;
    QGroupBox* gbCanSettings;
    QLabel* Label3;
    QComboBox* cbCanRate;
    QLabel* Label2;
    QComboBox* cbCanMode;
    QPushButton* btPort;

signals:
    void PortClicked(int channel);
    void RateChanged(int channel, int itemIndex);
    void ModeChanged(int channel, int itemIndex);

private:
    int FTag = 0;
    bool FSingleChannel = false;
    bool FOpened = false;
    QString FCaption;
    QString FFault;
};
