#pragma once
// Banner label: its full text elided in the middle to the label's width. GUI thread only.

#include <QLabel>

class VektTopLabel : public QLabel
{
    Q_OBJECT
public:
    explicit VektTopLabel(const QString& text, QWidget* parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());
    explicit VektTopLabel(QWidget* parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());

    void setText(const QString& text);
    QString fullText() const { return m_fullText; }

public slots:
    void onResize();
    void applyBannerPalette();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void init();

    QString m_fullText;
};
