#include "ui/decoder_window.h"

#include "ui/fonts.h"

#include "decoder/frame_decoder.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTextDocument>
#include <QTimer>
#include <chrono>

namespace tallowick {

using namespace std::chrono_literals;

namespace {

// The one window that is open; cleared as soon as it closes, so a handover
// that follows a close at once loads a fresh window instead of reusing one
// that is about to be deleted.
QPointer<DecoderWindow> openWindow;

QPushButton *button(QWidget *parent, const QString &name, const QString &caption,
                    const QRect &geometry)
{
    auto *widget = new QPushButton(caption, parent);
    widget->setObjectName(name);
    widget->setGeometry(geometry);
    return widget;
}

} // namespace

// Loading the window arms the one-shot description of whatever text the
// handover is about to put into the box.
DecoderWindow::DecoderWindow(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("getStringBox"));
    setWindowTitle(QStringLiteral("getStringBox"));
    setWindowIcon(QApplication::windowIcon());
    setAttribute(Qt::WA_DeleteOnClose);
    setFont(mingFont(12));
    setFixedSize(755, 251);

    m_getString = new QPlainTextEdit(this);
    m_getString->setObjectName(QStringLiteral("getString"));
    m_getString->setGeometry(16, 8, 721, 193);
    m_getString->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_getString->setTabChangesFocus(true);
    // A frame is one long word of digits. Wrapped at word boundaries, a word
    // as long as a whole log takes minutes to lay out; wrapped anywhere, it
    // takes as long as its length.
    m_getString->setWordWrapMode(QTextOption::WrapAnywhere);
    m_getString->setPlainText(QStringLiteral("Text1"));

    m_close = button(this, QStringLiteral("close"), QStringLiteral("close"), {576, 216, 153, 25});
    m_command1 =
        button(this, QStringLiteral("Command1"), QStringLiteral("Parsing"), {16, 216, 113, 25});
    m_command2 =
        button(this, QStringLiteral("Command2"), QStringLiteral("Clear"), {144, 216, 105, 25});
    setTabOrder(m_getString, m_close);
    setTabOrder(m_close, m_command1);
    setTabOrder(m_command1, m_command2);

    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_timer1->setSingleShot(true);
    m_timer1->setTimerType(Qt::PreciseTimer);

    connect(m_timer1, &QTimer::timeout, this, &DecoderWindow::Timer1_Timer);
    connect(m_command1, &QPushButton::clicked, this, &DecoderWindow::Command1_Click);
    connect(m_command2, &QPushButton::clicked, this, &DecoderWindow::Command2_Click);
    connect(m_close, &QPushButton::clicked, this, &DecoderWindow::close_Click);

    m_timer1->stop();
    m_timer1->start(1ms);
}

DecoderWindow::~DecoderWindow() = default;

void DecoderWindow::handOver(const QString &selectedText)
{
    if (!openWindow)
        openWindow = new DecoderWindow;
    DecoderWindow *window = openWindow;
    window->setBoxText(selectedText);
    window->show();
    window->raise();
    window->activateWindow();
}

DecoderWindow *DecoderWindow::instance()
{
    return openWindow;
}

QString DecoderWindow::boxText() const
{
    // The document keeps line breaks as block and line separators; the
    // decoder counts them as the two characters CR LF.
    QString text = m_getString->document()->toRawText();
    text.replace(QChar(QChar::ParagraphSeparator), QStringLiteral("\r\n"));
    text.replace(QChar(QChar::LineSeparator), QStringLiteral("\r\n"));
    return text;
}

void DecoderWindow::setBoxText(const QString &text)
{
    // CR LF must become one paragraph end: the document would take CR and LF
    // as two.
    QString paragraphs = text;
    paragraphs.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    m_getString->setPlainText(paragraphs);
}

void DecoderWindow::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    if (event->isAccepted() && openWindow == this)
        openWindow = nullptr;
}

void DecoderWindow::mousePressEvent(QMouseEvent *event)
{
    // Only presses outside every control reach the window itself.
    m_backgroundPressed = event->button() == Qt::LeftButton;
    QWidget::mousePressEvent(event);
}

void DecoderWindow::mouseReleaseEvent(QMouseEvent *event)
{
    const bool clicked = m_backgroundPressed && event->button() == Qt::LeftButton &&
                         rect().contains(event->position().toPoint());
    m_backgroundPressed = false;
    QWidget::mouseReleaseEvent(event);
    if (clicked)
        Form_Click();
}

void DecoderWindow::Timer1_Timer()
{
    setBoxText(parseCommand(boxText()));
    m_timer1->stop();
}

void DecoderWindow::Command1_Click()
{
    setBoxText(parseCommand(boxText()));
}

void DecoderWindow::Command2_Click()
{
    setBoxText(QString());
}

void DecoderWindow::close_Click()
{
    close();
}

void DecoderWindow::Form_Click()
{
    close();
}

} // namespace tallowick

#include "moc_decoder_window.cpp"
