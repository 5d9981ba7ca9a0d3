#pragma once

#include <QWidget>

class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace tallowick {

// The decoder window "getStringBox": a frame and its field-by-field description.
// It has no owner and deletes itself when closed, taking its text with it.
class DecoderWindow : public QWidget
{
    Q_OBJECT
public:
    explicit DecoderWindow(QWidget *parent = nullptr);
    ~DecoderWindow() override;

    // The log's double-click: opens the window if it is closed (arming its
    // one-shot description), replaces its text and shows it.
    static void handOver(const QString &selectedText);
    // The open window, or nullptr.
    static DecoderWindow *instance();

    // The text of the box with CR LF line breaks, as the decoder reads it.
    QString boxText() const;
    void setBoxText(const QString &text);

protected:
    void closeEvent(QCloseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void Timer1_Timer();
    void Command1_Click();
    void Command2_Click();
    void close_Click();
    void Form_Click();

    QPlainTextEdit *m_getString = nullptr;
    QPushButton *m_close = nullptr;
    QPushButton *m_command1 = nullptr;
    QPushButton *m_command2 = nullptr;
    QTimer *m_timer1 = nullptr;
    bool m_backgroundPressed = false;
};

} // namespace tallowick
