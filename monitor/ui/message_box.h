#pragma once

#include <QList>
#include <QString>

#include <functional>

class QWidget;

// Every message box of the monitor goes through these functions, so that a
// test can answer them without entering a modal event loop. GUI thread only.
class TMessageBoxes {
public:
    enum class TKind { Error, Question, Info };

    struct TMessage {
        TKind Kind;
        QString Title;
        QString Text;
    };

    // A hook sees every message instead of the user; its result answers a
    // question (true = Yes) and is ignored for the other kinds.
    using THook = std::function<bool(const TMessage&)>;

    // Error box titled "Tessel - Error!" with an OK button.
    static void showError(const QString& text, QWidget* parent = nullptr);
    // Question titled "Tessel" with Yes and No, No as default; true on Yes.
    static bool ask(const QString& text, QWidget* parent = nullptr);
    // Plain notice titled "Tessel": no icon, an OK button.
    static void notify(const QString& text, QWidget* parent = nullptr);

    // Installs the hook (an empty one restores the real boxes); returns the previous one.
    static THook setHook(THook hook);
};

// Test helper: while alive, records every message instead of showing it and
// answers every question with `Answer`.
class TMessageBoxCapture {
public:
    explicit TMessageBoxCapture(bool answer = false);
    ~TMessageBoxCapture();
    TMessageBoxCapture(const TMessageBoxCapture&) = delete;
    TMessageBoxCapture& operator=(const TMessageBoxCapture&) = delete;

    // Texts of the recorded messages, oldest first.
    QStringList texts() const;

    QList<TMessageBoxes::TMessage> Messages;
    bool Answer;

private:
    TMessageBoxes::THook FPrevious;
};
