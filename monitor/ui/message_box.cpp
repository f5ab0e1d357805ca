#include "message_box.h"

#include <QMessageBox>

namespace {

const QString kAppTitle = QStringLiteral("Tessel");
const QString kErrorTitle = QStringLiteral("Tessel - Error!");

TMessageBoxes::THook& hook() {
    static TMessageBoxes::THook instance;
    return instance;
}

// Hands the message to the hook when one is installed; true if it took it.
bool intercepted(TMessageBoxes::TKind kind, const QString& title, const QString& text,
                 bool* answer) {
    if (!hook())
        return false;
    const bool result = hook()({kind, title, text});
    if (answer != nullptr)
        *answer = result;
    return true;
}

} // namespace

void TMessageBoxes::showError(const QString& text, QWidget* parent) {
    if (intercepted(TKind::Error, kErrorTitle, text, nullptr))
        return;
    QMessageBox::critical(parent, kErrorTitle, text, QMessageBox::Ok);
}

bool TMessageBoxes::ask(const QString& text, QWidget* parent) {
    bool answer = false;
    if (intercepted(TKind::Question, kAppTitle, text, &answer))
        return answer;
    return QMessageBox::question(parent, kAppTitle, text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

void TMessageBoxes::notify(const QString& text, QWidget* parent) {
    if (intercepted(TKind::Info, kAppTitle, text, nullptr))
        return;
    QMessageBox box(QMessageBox::NoIcon, kAppTitle, text, QMessageBox::Ok, parent);
    box.exec();
}

TMessageBoxes::THook TMessageBoxes::setHook(THook newHook) {
    THook previous = std::move(hook());
    hook() = std::move(newHook);
    return previous;
}

TMessageBoxCapture::TMessageBoxCapture(bool answer) : Answer(answer) {
    FPrevious = TMessageBoxes::setHook([this](const TMessageBoxes::TMessage& message) {
        Messages.append(message);
        return Answer;
    });
}

TMessageBoxCapture::~TMessageBoxCapture() {
    TMessageBoxes::setHook(std::move(FPrevious));
}

QStringList TMessageBoxCapture::texts() const {
    QStringList result;
    for (const auto& message : Messages)
        result.append(message.Text);
    return result;
}
