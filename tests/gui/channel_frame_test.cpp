// The channel control frame on its own: captions for single- and
// multi-channel adapters, the rate combo locked while open, and every signal
// carrying the frame's channel index.

#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "channel_frame.h"

class ChannelFrameTest : public QObject {
    Q_OBJECT

private slots:
    void multiChannelCaptions() {
        TfrChannelMan frame;
        frame.SetChannelIndex(1);
        frame.SetSingleChannel(false);
        QCOMPARE(frame.gbMain->title(), QStringLiteral("Channel #2"));
        QCOMPARE(frame.btPort->text(), QStringLiteral("OPEN"));
        frame.SetOpened(false);
        QCOMPARE(frame.btPort->text(), QStringLiteral("Open channel"));
        frame.SetOpened(true);
        QCOMPARE(frame.btPort->text(), QStringLiteral("Close channel"));
        QVERIFY(!frame.cbCanRate->isEnabled());
        QVERIFY(frame.cbCanMode->isEnabled());
        frame.SetOpened(false);
        QVERIFY(frame.cbCanRate->isEnabled());
    }

    void singleChannelCaptionsFollowOnlyTheNextOpenState() {
        TfrChannelMan frame;
        frame.SetChannelIndex(0);
        frame.SetSingleChannel(false);
        frame.SetOpened(false);
        frame.SetSingleChannel(true);
        QCOMPARE(frame.gbMain->title(), QString());
        // The button keeps its caption until the open state is set again.
        QCOMPARE(frame.btPort->text(), QStringLiteral("Open channel"));
        frame.SetOpened(false);
        QCOMPARE(frame.btPort->text(), QStringLiteral("OPEN"));
        frame.SetOpened(true);
        QCOMPARE(frame.btPort->text(), QStringLiteral("CLOSE"));
    }

    void componentsAndSignalsCarryTheChannelIndex() {
        TfrChannelMan frame;
        frame.SetChannelIndex(3);
        for (QObject* component :
             {static_cast<QObject*>(&frame), static_cast<QObject*>(frame.cbCanRate),
              static_cast<QObject*>(frame.cbCanMode), static_cast<QObject*>(frame.btPort)})
            QCOMPARE(component->property("tag").toInt(), 3);
        QCOMPARE(frame.cbCanMode->count(), 2);
        QCOMPARE(frame.cbCanMode->itemText(0), QStringLiteral("Standard"));
        QCOMPARE(frame.cbCanMode->itemText(1), QStringLiteral("Extended"));
        QCOMPARE(frame.cbCanMode->currentIndex(), 0);

        QSignalSpy port(&frame, &TfrChannelMan::PortClicked);
        QSignalSpy mode(&frame, &TfrChannelMan::ModeChanged);
        QSignalSpy rate(&frame, &TfrChannelMan::RateChanged);
        frame.btPort->click();
        frame.cbCanMode->setCurrentIndex(1);
        frame.cbCanRate->addItems({QStringLiteral("125 kbit/s"), QStringLiteral("250 kbit/s")});
        frame.cbCanRate->setCurrentIndex(1);
        QCOMPARE(port.size(), 1);
        QCOMPARE(port[0][0].toInt(), 3);
        QCOMPARE(mode.size(), 1);
        QCOMPARE(mode[0][0].toInt(), 3);
        QCOMPARE(mode[0][1].toInt(), 1);
        QVERIFY(!rate.isEmpty());
        QCOMPARE(rate.last()[0].toInt(), 3);
        QCOMPARE(rate.last()[1].toInt(), 1);
    }
};

QTEST_MAIN(ChannelFrameTest)
#include "channel_frame_test.moc"
