#include "channel_frame.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
constexpr int kFrameHeight = 124;
constexpr int kSettingsHeight = 75;
constexpr int kButtonHeight = 25;
} // namespace

TfrChannelMan::TfrChannelMan(QWidget* parent) : QFrame(parent) {
    setFixedHeight(kFrameHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

    gbMain = new QGroupBox(QStringLiteral("Channel #1"), this);
    gbCanSettings = new QGroupBox(QStringLiteral("CAN-Settings"), gbMain);
    gbCanSettings->setFixedHeight(kSettingsHeight);
    Label3 = new QLabel(QStringLiteral("Rate"), gbCanSettings);
    cbCanRate = new QComboBox(gbCanSettings);
    Label2 = new QLabel(QStringLiteral("Mode"), gbCanSettings);
    cbCanMode = new QComboBox(gbCanSettings);
    cbCanMode->addItems({QStringLiteral("Standard"), QStringLiteral("Extended")});
    cbCanMode->setCurrentIndex(0);
    btPort = new QPushButton(QStringLiteral("OPEN"), gbMain);
    btPort->setFixedHeight(kButtonHeight);

    auto* settings = new QGridLayout(gbCanSettings);
    settings->setContentsMargins(2, 2, 2, 2);
    settings->setHorizontalSpacing(4);
    settings->setVerticalSpacing(2);
    settings->addWidget(Label3, 0, 0);
    settings->addWidget(cbCanRate, 0, 1);
    settings->addWidget(Label2, 1, 0);
    settings->addWidget(cbCanMode, 1, 1);
    settings->setColumnStretch(1, 1);

    auto* main = new QVBoxLayout(gbMain);
    main->setContentsMargins(2, 2, 2, 2);
    main->setSpacing(4);
    main->addWidget(gbCanSettings);
    main->addWidget(btPort);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(gbMain);

    connect(btPort, &QPushButton::clicked, this, [this] { emit PortClicked(FTag); });
    connect(cbCanRate, &QComboBox::currentIndexChanged, this,
            [this](int item) { emit RateChanged(FTag, item); });
    connect(cbCanMode, &QComboBox::currentIndexChanged, this,
            [this](int item) { emit ModeChanged(FTag, item); });
}

void TfrChannelMan::SetChannelIndex(int index) {
    FTag = index;
    for (QObject* component : {static_cast<QObject*>(this), static_cast<QObject*>(cbCanMode),
                               static_cast<QObject*>(cbCanRate), static_cast<QObject*>(btPort)})
        component->setProperty("tag", index);
}

void TfrChannelMan::SetSingleChannel(bool flag) {
    FSingleChannel = flag;
    SetCaption(flag ? QString() : QStringLiteral("Channel #") + QString::number(FTag + 1));
}

void TfrChannelMan::SetOpened(bool flag) {
    FOpened = flag;
    if (FSingleChannel)
        btPort->setText(flag ? QStringLiteral("CLOSE") : QStringLiteral("OPEN"));
    else
        btPort->setText(flag ? QStringLiteral("Close channel") : QStringLiteral("Open channel"));
    cbCanRate->setEnabled(!flag);
}

void TfrChannelMan::SetCaption(const QString& text) {
    FCaption = text;
    SetFault(FFault);
}

void TfrChannelMan::SetFault(const QString& text) {
    FFault = text;
    if (FFault.isEmpty())
        gbMain->setTitle(FCaption);
    else if (FCaption.isEmpty())
        gbMain->setTitle(FFault);
    else
        gbMain->setTitle(FCaption + QStringLiteral(" - ") + FFault);
}
