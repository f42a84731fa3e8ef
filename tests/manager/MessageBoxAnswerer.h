#pragma once
// Answers the message boxes a test provokes: each one that opens is recorded (its text) and
// closed with the next queued button, or with the fallback when the queue is empty.

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <deque>

class MessageBoxAnswerer
{
public:
    explicit MessageBoxAnswerer(QMessageBox::StandardButton fallback = QMessageBox::Ok) : m_fallback(fallback)
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { answerOpenBox(); });
        m_timer.start();
    }
    void queue(QMessageBox::StandardButton button) { m_answers.push_back(button); }
    QStringList texts;

private:
    void answerOpenBox()
    {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr)
            return;
        texts << box->text();
        QMessageBox::StandardButton answer = m_fallback;
        if (!m_answers.empty()) {
            answer = m_answers.front();
            m_answers.pop_front();
        }
        QAbstractButton* button = box->button(answer);
        if (button != nullptr)
            button->click();
        else
            box->reject();
    }

    QTimer m_timer;
    std::deque<QMessageBox::StandardButton> m_answers;
    QMessageBox::StandardButton m_fallback;
};
