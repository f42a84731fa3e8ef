#pragma once
// Multi-line text editor of the styled widget set: a frame (the outer widget) around an inner
// QTextEdit, with an optional maximum length and the inherited state. GUI thread only; the
// inner editor is owned through the outer widget's layout.

#include <QTextEdit>
#include <QWidget>

class VektTextEdit;

class VektTextEditPrivate : public QTextEdit
{
    Q_OBJECT
public:
    VektTextEditPrivate();

    VektTextEdit* outer = nullptr; // not owned
    bool inherited = false;
    bool fromAlertingRule = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};

class VektTextEdit : public QWidget
{
    Q_OBJECT
public:
    explicit VektTextEdit(QWidget* parent = nullptr);

    // -1: no limit.
    int maxLength = -1;

    VektTextEditPrivate* editor() const { return m_editor; }
    bool isReadOnly() const;
    void setReadOnly(bool readOnly);
    void setInherited(bool inherited, bool fromAlertingRule);

public slots:
    void onTextEdited();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    VektTextEditPrivate* m_editor;
};
