#include "com_port_list.h"
#include "com_port_watcher.h"

#include <QComboBox>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include "wait_until.h"

namespace {

// A device database the test changes between refreshes.
class TChangingEnumerator : public TComPortEnumerator {
public:
    explicit TChangingEnumerator(std::vector<std::string>* names) : FNames(names) {}
    std::vector<TComPortDevice> Enumerate() override {
        std::vector<TComPortDevice> devices;
        for (const std::string& name : *FNames)
            devices.push_back({"Port " + name, 0, name});
        return devices;
    }
    std::string PortPrefix() const override { return "COM"; }

private:
    std::vector<std::string>* FNames;
};

QStringList Items(const QComboBox& combo) {
    QStringList items;
    for (int i = 0; i < combo.count(); ++i)
        items << combo.itemText(i);
    return items;
}

} // namespace

class ComPortComboTest : public QObject {
    Q_OBJECT

private:
    std::vector<std::string> FPresent;
    std::unique_ptr<TComPortListManager> FPorts;
    std::unique_ptr<QComboBox> FCombo;

private slots:
    void init() {
        FPresent = {"COM10", "COM2", "LPT1", "COM1"};
        FPorts =
            std::make_unique<TComPortListManager>(std::make_unique<TChangingEnumerator>(&FPresent));
        FCombo = std::make_unique<QComboBox>();
        FCombo->setEditable(true);
    }

    void refreshListsSortedPortsWithEmptyText() {
        FCombo->setEditText("COM7");
        RefreshPortList(*FCombo, *FPorts);
        QCOMPARE(Items(*FCombo), (QStringList{"COM1", "COM2", "COM10"}));
        QVERIFY(FCombo->currentText().isEmpty());
        QCOMPARE(FCombo->currentIndex(), -1);
    }

    void arrivalAddsThePortAndKeepsTheUsersText() {
        RefreshPortList(*FCombo, *FPorts);
        FCombo->setCurrentIndex(1); // COM2
        FPresent.push_back("COM3");
        RefreshPortListKeepText(*FCombo, *FPorts);
        QCOMPARE(Items(*FCombo), (QStringList{"COM1", "COM2", "COM3", "COM10"}));
        QCOMPARE(FCombo->currentText(), QString("COM2"));
        QCOMPARE(FCombo->currentIndex(), 1);

        FCombo->setEditText("COM99"); // typed, not listed
        RefreshPortListKeepText(*FCombo, *FPorts);
        QCOMPARE(FCombo->currentText(), QString("COM99"));
    }

    void removalKeepsTheTextOfAPortThatHasGone() {
        RefreshPortList(*FCombo, *FPorts);
        FCombo->setCurrentIndex(2); // COM10
        FPresent = {"COM1"};
        RefreshPortListKeepText(*FCombo, *FPorts);
        QCOMPARE(Items(*FCombo), QStringList{"COM1"});
        QCOMPARE(FCombo->currentText(), QString("COM10"));
    }

    void noPortsGiveAnEmptyCombo() {
        FPresent.clear();
        RefreshPortList(*FCombo, *FPorts);
        QCOMPARE(FCombo->count(), 0);
        QVERIFY(FCombo->currentText().isEmpty());
    }

    void watcherMergesABurstOfDeviceNodesIntoOneChange() {
        QTemporaryDir dev;
        QVERIFY(dev.isValid());
        TComPortWatcher watcher(nullptr, dev.path());
        QSignalSpy changed(&watcher, &TComPortWatcher::portsChanged);
        QTest::qWait(50);
        QCOMPARE(changed.count(), 0);
        // A USB serial adapter makes several nodes at once. They are all made
        // before the event loop runs again, so the watcher sees one burst.
        for (const char* node : {"ttyUSB0", "serial", "ttyUSB1"}) {
            QFile file(dev.filePath(node));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QTRY_COMPARE_WITH_TIMEOUT(changed.count(), 1, tessel::test::kPatienceMs);
        QTest::qWait(500);
        QCOMPARE(changed.count(), 1);
        QVERIFY(QFile::remove(dev.filePath("ttyUSB1")));
        QTRY_COMPARE_WITH_TIMEOUT(changed.count(), 2, tessel::test::kPatienceMs);
    }
};

QTEST_MAIN(ComPortComboTest)
#include "comport_combo_test.moc"
