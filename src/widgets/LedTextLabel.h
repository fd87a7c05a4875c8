#pragma once

#include <QWidget>

// LED-style text label: shows its caption as a row of character cells.
// (Minimal form: holds and shows its caption.)
class TLedTextLabel : public QWidget
{
    Q_OBJECT
public:
    explicit TLedTextLabel(QWidget *parent = nullptr, const QString &name = QString());

    QString Caption() const { return caption_; }
    void setCaption(const QString &caption);
    bool AutoSize() const { return autoSize_; }
    void setAutoSize(bool on);

protected:
    void paintEvent(QPaintEvent *) override;

private:
    QString caption_;
    bool autoSize_ = false;
};
