#include "send_frame_dialog.h"

#include "message_box.h"
#include "transmit/send_list.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <mutex>

namespace {

int gLastDlc = 8;

constexpr std::uint32_t kStandardIdLimit = 0x7FF;
constexpr std::uint32_t kExtendedIdLimit = 0x1FFFFFFF;

int DigitValue(QChar c, int base) {
    int value = -1;
    if (c >= u'0' && c <= u'9')
        value = c.unicode() - u'0';
    else if (c >= u'A' && c <= u'F')
        value = c.unicode() - u'A' + 10;
    else if (c >= u'a' && c <= u'f')
        value = c.unicode() - u'a' + 10;
    return value < base ? value : -1;
}

// The whole text as a number of the base that fits the 32 bits of `limit`;
// an empty or unreadable text reads as -1. A hexadecimal text of eight digits
// may exceed 7FFFFFFF and then reads as a negative 32-bit number.
std::int64_t ReadNumber(const QString& text, int base, std::uint64_t limit) {
    if (text.isEmpty())
        return -1;
    std::uint64_t value = 0;
    for (const QChar c : text) {
        const int digit = DigitValue(c, base);
        if (digit < 0)
            return -1;
        value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
        if (value > limit)
            return -1;
    }
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

std::int64_t ReadDecimal(const QString& text) {
    return ReadNumber(text, 10, std::numeric_limits<std::int32_t>::max());
}

std::int64_t ReadHex(const QString& text) {
    return ReadNumber(text, 16, std::numeric_limits<std::uint32_t>::max());
}

QString Hex(std::uint32_t value, int digits) {
    return QString::number(value, 16).toUpper().rightJustified(digits, u'0');
}

// Text a key press would insert: printable characters only. Navigation,
// editing shortcuts and other control keys are not characters and pass.
QString TypedText(const QKeyEvent* key) {
    const QString text = key->text();
    if (text.isEmpty() || !text.at(0).isPrint())
        return {};
    return text;
}

} // namespace

TfmSendFrame::TfmSendFrame(QWidget* parent) : QDialog(parent) {
    FormCreate();
}

TfmSendFrame::~TfmSendFrame() = default;

int TfmSendFrame::LastDlc() {
    return gLastDlc;
}

void TfmSendFrame::SetLastDlc(int dlc) {
    gLastDlc = dlc;
}

std::unique_ptr<TCanSendItem> TfmSendFrame::TakeNewItem() {
    Item = nullptr;
    return std::move(FNewItem);
}

void TfmSendFrame::FormCreate() {
    setObjectName(QStringLiteral("fmSendFrame"));
    auto* layout = new QVBoxLayout(this);

    auto* captionLabel = new QLabel(QStringLiteral("Mnemonic caption:"), this);
    auto* optionalLabel = new QLabel(QStringLiteral("(not mandatory)"), this);
    QFont small = optionalLabel->font();
    small.setPointSizeF(small.pointSizeF() * 0.8);
    optionalLabel->setFont(small);
    auto* captionLabels = new QVBoxLayout;
    captionLabels->setSpacing(0);
    captionLabels->addWidget(captionLabel);
    captionLabels->addWidget(optionalLabel);
    edCaption = new QLineEdit(this);
    auto* captionRow = new QHBoxLayout;
    captionRow->addLayout(captionLabels);
    captionRow->addWidget(edCaption, 1, Qt::AlignTop);
    layout->addLayout(captionRow);

    auto* typeRow = new QHBoxLayout;
    typeRow->addWidget(new QLabel(QStringLiteral("Sending type"), this));
    cbSendType = new QComboBox(this);
    cbSendType->addItems(
        {QStringLiteral("Single"), QStringLiteral("Periodic"), QStringLiteral("On request")});
    typeRow->addWidget(cbSendType);
    pPeriod = new QWidget(this);
    auto* periodRow = new QHBoxLayout(pPeriod);
    periodRow->setContentsMargins(0, 0, 0, 0);
    periodRow->addWidget(new QLabel(QStringLiteral("Period (msec)"), pPeriod));
    edPeriod = new QLineEdit(QStringLiteral("1000"), pPeriod);
    edPeriod->setFixedWidth(64);
    periodRow->addWidget(edPeriod);
    QSizePolicy keepPlace = pPeriod->sizePolicy();
    keepPlace.setRetainSizeWhenHidden(true);
    pPeriod->setSizePolicy(keepPlace);
    typeRow->addWidget(pPeriod);
    typeRow->addStretch();
    layout->addLayout(typeRow);

    auto* frameBox = new QGroupBox(QStringLiteral("Frame"), this);
    auto* frameLayout = new QFormLayout(frameBox);
    auto* idRow = new QHBoxLayout;
    edId = new QLineEdit(frameBox);
    edId->setFixedWidth(80);
    idRow->addWidget(edId);
    cbRequest = new QCheckBox(QStringLiteral("Request"), frameBox);
    idRow->addWidget(cbRequest);
    idRow->addStretch();
    frameLayout->addRow(QStringLiteral("ID (hex)"), idRow);
    cbLength = new QComboBox(frameBox);
    for (int dlc = 0; dlc <= 8; ++dlc)
        cbLength->addItem(QString::number(dlc));
    cbLength->setFixedWidth(56);
    frameLayout->addRow(QStringLiteral("DLC"), cbLength);
    pData = new QWidget(frameBox);
    pData->setFixedSize(2 + 32 * 8, 24);
    for (int i = 0; i < 8; ++i) {
        auto* box = new QLineEdit(pData);
        box->setGeometry(2 + 32 * i, 0, 28, 22);
        box->setMaxLength(2);
        box->setObjectName(QStringLiteral("DataEdit%1").arg(i));
        box->installEventFilter(this);
        DataEdits[static_cast<std::size_t>(i)] = box;
    }
    frameLayout->addRow(QStringLiteral("Data"), pData);
    layout->addWidget(frameBox);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    btSave = new QPushButton(QStringLiteral("Save"), this);
    btSave->setDefault(true);
    btCancel = new QPushButton(QStringLiteral("Cancel"), this);
    buttons->addWidget(btSave);
    buttons->addWidget(btCancel);
    layout->addLayout(buttons);

    edPeriod->installEventFilter(this);
    edId->installEventFilter(this);
    cbLength->installEventFilter(this);
    connect(cbSendType, &QComboBox::currentIndexChanged, this, [this] { UpdateVisibility(); });
    connect(cbLength, &QComboBox::currentIndexChanged, this, [this] { UpdateVisibility(); });
    connect(btSave, &QPushButton::clicked, this, &TfmSendFrame::btSaveClick);
    connect(btCancel, &QPushButton::clicked, this, &QDialog::reject);

    const QSize hint = sizeHint();
    setFixedSize(std::max(362, hint.width()), std::max(267, hint.height()));
}

void TfmSendFrame::showEvent(QShowEvent* event) {
    // The window system also reports a show when the dialog comes back from
    // being minimised; filling the controls then would wipe the user's entries.
    if (!event->spontaneous())
        FormShow();
    QDialog::showEvent(event);
}

void TfmSendFrame::FormShow() {
    const bool adding = Mode == ModeAdd;
    setWindowTitle(adding ? QStringLiteral("Add new transmit item")
                          : QStringLiteral("Edit transmit item"));
    btSave->setText(adding ? QStringLiteral("Add") : QStringLiteral("Save"));
    FillControls();
    UpdateVisibility();
}

void TfmSendFrame::FillControls() {
    // The limit applies to typing only: an edited identifier is shown in full.
    FIdLimit = IsStandard ? 3 : 8;
    const int idDigits = IsStandard ? 3 : 8;
    if (Mode == ModeEdit && Item != nullptr) {
        const int kind = static_cast<int>(Item->SendType);
        cbSendType->setCurrentIndex(kind >= 0 && kind < cbSendType->count() ? kind : -1);
        edPeriod->setText(QString::number(Item->Period));
        edId->setText(Hex(Item->Frame.Id, idDigits));
        cbRequest->setChecked(Item->Frame.IsRemote);
        cbLength->setCurrentIndex(static_cast<int>(std::min<std::uint32_t>(Item->Frame.Len, 8)));
        for (std::size_t i = 0; i < DataEdits.size(); ++i)
            DataEdits[i]->setText(Hex(Item->Frame.Data[i], 2));
        edCaption->setText(QString::fromStdString(Item->Caption));
        return;
    }
    cbSendType->setCurrentIndex(0);
    edPeriod->setText(QStringLiteral("1000"));
    edId->setText(Hex(0, idDigits));
    cbRequest->setChecked(false);
    cbLength->setCurrentIndex(gLastDlc);
    for (QLineEdit* box : DataEdits)
        box->setText(QStringLiteral("00"));
    edCaption->clear();
}

void TfmSendFrame::UpdateVisibility() {
    pPeriod->setVisible(cbSendType->currentIndex() == static_cast<int>(TCanSendType::Periodic));
    const int dlc = cbLength->currentIndex();
    for (int i = 0; i < static_cast<int>(DataEdits.size()); ++i)
        DataEdits[static_cast<std::size_t>(i)]->setVisible(i < dlc);
}

bool TfmSendFrame::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    const QString typed = TypedText(static_cast<QKeyEvent*>(event));
    if (typed.isEmpty())
        return false;
    // cbLengthKeyPress: the length is chosen from the list only.
    if (watched == cbLength)
        return true;
    if (watched == edPeriod)
        return !edPeriodKeyPress(typed);
    if (watched == edId)
        return edIdKeyPress(edId, typed, FIdLimit);
    for (QLineEdit* box : DataEdits)
        if (watched == box)
            return edIdKeyPress(box, typed, box->maxLength());
    return QDialog::eventFilter(watched, event);
}

bool TfmSendFrame::edPeriodKeyPress(const QString& typed) const {
    for (const QChar c : typed)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

// Hexadecimal digits only, letters in upper case; true when the key is
// consumed (inserted here in upper case, or swallowed).
bool TfmSendFrame::edIdKeyPress(QLineEdit* edit, const QString& typed, int lengthLimit) {
    for (const QChar c : typed)
        if (DigitValue(c, 16) < 0)
            return true;
    const int kept = edit->text().length() - edit->selectedText().length();
    if (kept + typed.length() > lengthLimit)
        return true;
    edit->insert(typed.toUpper());
    return true;
}

void TfmSendFrame::btSaveClick() {
    if (ValidateAndStore())
        accept();
}

bool TfmSendFrame::ValidateAndStore() {
    const bool periodic = cbSendType->currentIndex() == static_cast<int>(TCanSendType::Periodic);
    std::int64_t period = 0;
    if (periodic) {
        period = ReadDecimal(edPeriod->text());
        if (period < 1) {
            TMessageBoxes::notify(QStringLiteral("Incorrect period"), this);
            return false;
        }
    }
    const std::uint32_t idLimit = IsStandard ? kStandardIdLimit : kExtendedIdLimit;
    const std::int64_t id = ReadHex(edId->text());
    if (static_cast<std::uint32_t>(id) > idLimit) {
        TMessageBoxes::notify(QStringLiteral("Incorrect frame ID"), this);
        return false;
    }
    const int dlc = cbLength->currentIndex();
    std::array<std::uint8_t, 8> data{};
    for (std::size_t i = 0; i < DataEdits.size(); ++i) {
        const std::int64_t value = ReadHex(DataEdits[i]->text());
        if (value < 0 || value > 0xFF) {
            TMessageBoxes::notify(QStringLiteral("Incorrect data"), this);
            return false;
        }
        data[i] = static_cast<std::uint8_t>(value);
    }

    if (Mode == ModeAdd) {
        FNewItem = std::make_unique<TCanSendItem>();
        Item = FNewItem.get();
    }
    {
        // A sweep may be sending this very item; it must see old or new fields, never a mix.
        std::unique_lock<std::mutex> guard;
        if (Mode == ModeEdit && List != nullptr)
            guard = List->Lock();
        Item->SendType = static_cast<TCanSendType>(cbSendType->currentIndex());
        if (periodic)
            Item->SetPeriod(static_cast<std::int32_t>(period));
        Item->Frame.Id = static_cast<std::uint32_t>(id);
        Item->Frame.IsRemote = cbRequest->isChecked();
        Item->Frame.IsStandard = IsStandard;
        Item->Frame.Len = static_cast<std::uint32_t>(dlc);
        Item->Frame.Data = data;
        Item->Caption = edCaption->text().toStdString();
    }
    gLastDlc = dlc;
    return true;
}
