#pragma once

// Meeting the real modal windows of a program (message boxes, file dialogs) in a test:
// reading their buttons as the user reads them, and answering them.

#include <QAbstractButton>
#include <QApplication>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <functional>

// A button's text as the user reads it: without the "&" of its mnemonic and without a
// mnemonic in brackets, so "是(&Y)" reads "是".
inline QString readableText(QString text)
{
    static const QRegularExpression bracketed(QStringLiteral("\\(&.\\)$"));
    text.remove(bracketed);
    text.remove(QLatin1Char('&'));
    return text.trimmed();
}

// The visible buttons of a window, readable, sorted.
inline QStringList buttonTexts(const QWidget *window)
{
    QStringList texts;
    for (const QAbstractButton *button : window->findChildren<QAbstractButton *>()) {
        if (button->isVisible() && !button->text().isEmpty())
            texts << readableText(button->text());
    }
    texts.sort();
    return texts;
}

inline bool clickButton(QWidget *window, const QString &text)
{
    for (QAbstractButton *button : window->findChildren<QAbstractButton *>()) {
        if (button->isVisible() && readableText(button->text()) == text) {
            button->click();
            return true;
        }
    }
    return false;
}

// Meets the next modal window of type T that the program shows in its own event loop:
// `look` reads it while it shows, then `answer` closes it.
template<typename T>
class NextModal
{
public:
    NextModal(std::function<void(T *)> look, std::function<void(T *)> answer)
    {
        timer_.setInterval(50);
        QObject::connect(&timer_, &QTimer::timeout, [this, look, answer] {
            auto *window = qobject_cast<T *>(QApplication::activeModalWidget());
            if (!window || !window->isVisible() || seen_)
                return;
            seen_ = true;
            timer_.stop();
            (void)QTest::qWaitForWindowExposed(window);
            look(window);
            answer(window);
        });
        timer_.start();
    }
    bool seen() const { return seen_; }

private:
    QTimer timer_;
    bool seen_ = false;
};
