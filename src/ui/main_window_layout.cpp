#include "ui/main_window_layout.h"

#include "config/config_value.h"
#include "ui/fonts.h"
#include "ui/log_box.h"
#include "ui/port_picker.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <initializer_list>
#include <optional>

// The resource initialiser has a global name; the icons live in the static
// core library, where nothing else would pull them into the executable.
static void initIconResources()
{
    Q_INIT_RESOURCE(tallowick_icons);
}

namespace tallowick {

namespace {

const QString &designDefault(ConfigValue which)
{
    return configValueNames()[which].designDefault;
}

// Geometry in device-independent pixels: Qt scales it, with the fonts, on
// high-resolution screens. Every caption has a little room beyond its width at
// the fonts below.
constexpr int windowWidth = 1006; // the fixed client area, 1006 x 644
constexpr int margin = 6;
constexpr int leftWidth = 442; // the left column, frames and bottom row
constexpr int rightX = margin + leftWidth + 8;
constexpr int rightWidth = windowWidth - margin - rightX;
constexpr int frameInnerRight = leftWidth - 6;
constexpr int rowInFrame = 24; // controls of a one-row frame
constexpr int oneRowFrameHeight = 56;
constexpr int modeWidth = 58;
constexpr int linkFrameWidth = leftWidth - modeWidth - 4;
constexpr int commandFrameTop = 176;
constexpr int firstCommandRow = 62;
constexpr int commandRowPitch = 24; // 360 twips
constexpr int commandRowHeight = 22;
constexpr int commandFrameHeight =
    firstCommandRow + (commandLineCount - 1) * commandRowPitch + commandRowHeight + 8;
constexpr int bottomRowTop = 608;
constexpr int bottomRowHeight = 32; // sendCnt's 12 pt text needs it

// The window's default font, named rather than taken from the desktop so that
// the fixed layout holds wherever it runs; Chinese captions take the
// Traditional Chinese glyphs.
QFont windowFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Noto Sans CJK TC"),
                      QStringLiteral("AR PL UMing TW"), QStringLiteral("WenQuanYi Zen Hei")});
    font.setPointSizeF(9);
    return font;
}

template <typename W> W *make(QWidget *parent, const QString &name, const QRect &geometry)
{
    auto *widget = new W(parent);
    widget->setObjectName(name);
    widget->setGeometry(geometry);
    return widget;
}

// A label in the window's default font unless it is given one.
QLabel *label(QWidget *parent, const QString &name, const QString &caption, const QRect &geometry,
              const std::optional<QFont> &font = std::nullopt)
{
    auto *widget = make<QLabel>(parent, name, geometry);
    if (font)
        widget->setFont(*font);
    widget->setText(caption);
    return widget;
}

QLineEdit *textBox(QWidget *parent, const QString &name, const QString &text, const QRect &geometry)
{
    auto *widget = make<QLineEdit>(parent, name, geometry);
    // A text box holds as much as the user types, not QLineEdit's 32767.
    widget->setMaxLength(64 * 1024 * 1024);
    widget->setText(text);
    return widget;
}

template <typename B>
B *button(QWidget *parent, const QString &name, const QString &caption, const QRect &geometry)
{
    auto *widget = make<B>(parent, name, geometry);
    widget->setText(caption);
    return widget;
}

QGroupBox *frame(QWidget *parent, const QString &name, const QString &caption,
                 const QRect &geometry)
{
    auto *widget = make<QGroupBox>(parent, name, geometry);
    widget->setTitle(caption);
    return widget;
}

QTimer *timer(QWidget *parent, const QString &name)
{
    auto *t = new QTimer(parent);
    t->setObjectName(name);
    t->setTimerType(Qt::PreciseTimer);
    return t;
}

// A control of a one-row frame, `height` high and centred on the row.
QRect inRow(int x, int width, int height = 24)
{
    return {x, rowInFrame + (24 - height) / 2, width, height};
}

void buildLinkSettings(QWidget *window, Controls &ui, const QFont &labelFont)
{
    // Both frames in one place, one shown at a time; Mode beside them on the
    // window itself so that it stays whichever is shown.
    const QRect linkFrame(margin, 2, linkFrameWidth, oneRowFrameHeight);
    ui.ipSet = frame(window, QStringLiteral("ipSet"), QStringLiteral("IP Settings"), linkFrame);
    ui.Label1 = label(ui.ipSet, QStringLiteral("Label1"), QStringLiteral("IP："), inRow(8, 32, 22),
                      labelFont);
    ui.address =
        textBox(ui.ipSet, QStringLiteral("address"), designDefault(AddressValue), inRow(42, 150));
    ui.Label2 = label(ui.ipSet, QStringLiteral("Label2"), QStringLiteral("PORT："),
                      inRow(204, 58, 22), labelFont);
    ui.port = textBox(ui.ipSet, QStringLiteral("port"), designDefault(PortValue), inRow(264, 110));

    ui.comset =
        frame(window, QStringLiteral("comset"), QStringLiteral("Com port setting"), linkFrame);
    ui.Label8 = label(ui.comset, QStringLiteral("Label8"), QStringLiteral("COM Port："),
                      inRow(6, 84, 22), labelFont);
    ui.comSelect = textBox(ui.comset, QStringLiteral("comSelect"), QString(), inRow(90, 40));
    ui.comSelect->setToolTip(QStringLiteral(
        "A number n opens the n-th serial port (1 is /dev/ttyS0, 2 is /dev/ttyS1, ...).\n"
        "A device path such as /dev/ttyUSB0 or /dev/serial/by-id/... opens that device;\n"
        "a bare name such as ttyUSB0 opens it under /dev."));
    PortPicker::attach(ui.comSelect);
    ui.baudrate = label(ui.comset, QStringLiteral("baudrate"),
                        QStringLiteral("Configure the seial line："), inRow(134, 156, 22));
    ui.configCOM = textBox(ui.comset, QStringLiteral("configCOM"), QStringLiteral("9600,n,8,1"),
                           inRow(290, 84));
    ui.configCOM->setToolTip(
        QStringLiteral("baud,parity,data bits,stop bits: parity n, e, o, m or s; data bits 5 to 8; "
                       "stop bits 1, 1.5 or 2"));

    ui.modeSelect =
        button<QPushButton>(window, QStringLiteral("modeSelect"), QStringLiteral("Mode"),
                            {margin + leftWidth - modeWidth, 20, modeWidth, 34});
    ui.modeSelect->setFixedSize(ui.modeSelect->size()); // as the Send button, see there
}

void buildConnectionSettings(QWidget *window, Controls &ui, const QFont &labelFont)
{
    ui.Frame2 = frame(window, QStringLiteral("Frame2"), QStringLiteral("Connection Settings"),
                      {margin, 60, leftWidth, oneRowFrameHeight});
    ui.Label3 = label(ui.Frame2, QStringLiteral("Label3"), QStringLiteral("Timeout："),
                      inRow(8, 80, 22), labelFont);
    ui.timeout =
        textBox(ui.Frame2, QStringLiteral("timeout"), designDefault(TimeoutValue), inRow(90, 64));
    // One group of two: they share the frame as parent, so Qt keeps one checked.
    ui.connect[0] = button<QRadioButton>(ui.Frame2, QStringLiteral("connect_0"),
                                         QStringLiteral("間斷連線"), inRow(180, 110));
    ui.connect[1] = button<QRadioButton>(ui.Frame2, QStringLiteral("connect_1"),
                                         QStringLiteral("保持連線"), inRow(300, 110));
    ui.connect[0]->setChecked(true);
}

void buildRepeatSend(QWidget *window, Controls &ui, const QFont &labelFont)
{
    ui.Frame3 = frame(window, QStringLiteral("Frame3"), QStringLiteral("Repeat Send"),
                      {margin, 118, leftWidth, oneRowFrameHeight});
    ui.Label4 = label(ui.Frame3, QStringLiteral("Label4"), QStringLiteral("Repeat Time："),
                      inRow(6, 108, 22), labelFont);
    ui.repeat =
        textBox(ui.Frame3, QStringLiteral("repeat"), designDefault(PauseValue), inRow(114, 46));
    ui.Label5 = label(ui.Frame3, QStringLiteral("Label5"), QStringLiteral("Repeat："),
                      inRow(164, 68, 22), labelFont);
    ui.rpStart = textBox(ui.Frame3, QStringLiteral("rpStart"), designDefault(FirstLineValue),
                         inRow(232, 28));
    ui.Label6 = label(ui.Frame3, QStringLiteral("Label6"), QStringLiteral("～"), inRow(261, 18, 22),
                      labelFont);
    ui.Label6->setAlignment(Qt::AlignCenter);
    ui.rpStop =
        textBox(ui.Frame3, QStringLiteral("rpStop"), designDefault(LastLineValue), inRow(280, 28));
    ui.rCNT =
        textBox(ui.Frame3, QStringLiteral("rCNT"), designDefault(PassesValue), inRow(312, 34));
    ui.Command2 =
        button<QPushButton>(ui.Frame3, QStringLiteral("Command2"), QStringLiteral("Repeat Send"),
                            inRow(350, frameInnerRight - 350, 28));
}

void buildCommandLines(QWidget *window, Controls &ui, const QFont &labelFont)
{
    ui.Frame4 = frame(window, QStringLiteral("Frame4"), QStringLiteral("Command Line"),
                      {margin, commandFrameTop, leftWidth, commandFrameHeight});
    // The caption names the current slot ("config1：" ...) once start-up has run.
    ui.filename = label(ui.Frame4, QStringLiteral("filename"), QStringLiteral("File Name："),
                        {6, 24, 80, 24});
    ui.filetitle = textBox(ui.Frame4, QStringLiteral("filetitle"), designDefault(TitleValue),
                           {88, 24, 120, 24});
    QPalette menuColoured = ui.filetitle->palette();
    menuColoured.setColor(QPalette::Base, menuColoured.color(QPalette::Window));
    ui.filetitle->setPalette(menuColoured);
    ui.filecombo = make<QComboBox>(ui.Frame4, QStringLiteral("filecombo"), {214, 24, 100, 24});
    ui.filecombo->setEditable(true);
    ui.filecombo->addItems({QStringLiteral("config1"), QStringLiteral("config2"),
                            QStringLiteral("config3"), QStringLiteral("config4"),
                            QStringLiteral("config5")});
    ui.filecombo->setCurrentIndex(-1);
    ui.filecombo->setEditText(QStringLiteral("config1"));
    ui.save = button<QPushButton>(ui.Frame4, QStringLiteral("save"), QStringLiteral("Save setting"),
                                  {320, 22, frameInnerRight - 320, 28});
    ui.Line1 = make<QFrame>(ui.Frame4, QStringLiteral("Line1"), {6, 55, frameInnerRight - 6, 3});
    ui.Line1->setFrameShape(QFrame::HLine);
    ui.Line1->setFrameShadow(QFrame::Sunken);

    for (int i = 0; i < commandLineCount; ++i) {
        const int y = firstCommandRow + i * commandRowPitch;
        auto *caption = make<ClickableLabel>(ui.Frame4, QStringLiteral("Label7_%1").arg(i),
                                             {6, y, 70, commandRowHeight});
        caption->setFont(labelFont);
        caption->setText(QStringLiteral("CMD%1：").arg(i + 1));
        ui.Label7[i] = caption;
        ui.cmd[i] = textBox(ui.Frame4, QStringLiteral("cmd_%1").arg(i),
                            designDefault(commandValue(i)), {78, y, 230, commandRowHeight});
        ui.noteText[i] =
            textBox(ui.Frame4, QStringLiteral("noteText_%1").arg(i), designDefault(noteValue(i)),
                    {312, y, frameInnerRight - 312, commandRowHeight});
    }
}

void buildBottomRow(QWidget *window, Controls &ui)
{
    const auto cell = [](int x, int width) {
        return QRect(x, bottomRowTop, width, bottomRowHeight);
    };
    ui.sendCnt = textBox(window, QStringLiteral("sendCnt"), designDefault(LineNumberValue),
                         cell(margin, 40));
    ui.sendCnt->setFont(mingFont(12));
    ui.crcEN =
        button<QCheckBox>(window, QStringLiteral("crcEN"), QStringLiteral("CRC EN"), cell(52, 76));
    ui.crcEN->setChecked(true);
    ui.send =
        button<QPushButton>(window, QStringLiteral("send"), QStringLiteral("Send"), cell(130, 64));
    ui.crcCalc = button<QPushButton>(window, QStringLiteral("crcCalc"),
                                     QStringLiteral("CRC Calculate"), cell(198, 104));
    ui.savelog = button<QPushButton>(window, QStringLiteral("savelog"), QStringLiteral("Save Log"),
                                     cell(306, 76));
    ui.Command1 = button<QPushButton>(window, QStringLiteral("Command1"), QStringLiteral("Clear"),
                                      cell(386, margin + leftWidth - 386));
    // The row goes on under the log; the status takes the rest of it.
    ui.status = label(window, QStringLiteral("status"), QString(), cell(rightX, rightWidth));
    // The Send caption and the status change with every exchange. A control
    // whose size may follow its text asks the window to lay itself out again
    // each time; these keep their places, as every control here does.
    for (QWidget *control : std::initializer_list<QWidget *>{ui.send, ui.status})
        control->setFixedSize(control->size());
}

void buildRightColumn(QWidget *window, Controls &ui, const QFont &labelFont)
{
    ui.winsockstatus = label(window, QStringLiteral("winsockstatus"), QStringLiteral("Initial...."),
                             {rightX, 3, 300, 20}, mingFont(8.25));
    QFont consolas;
    consolas.setFamilies({QStringLiteral("Consolas"), QStringLiteral("DejaVu Sans Mono"),
                          QStringLiteral("Monospace")});
    consolas.setPointSizeF(8.25);
    ui.ver = label(window, QStringLiteral("ver"), QStringLiteral("Label8"),
                   {rightX + rightWidth - 140, 3, 140, 20}, consolas);
    ui.ver->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // The log reaches down to the bottom row, level with the command frame.
    ui.getMsg = make<LogBox>(window, QStringLiteral("getMsg"),
                             {rightX, 26, rightWidth, commandFrameTop + commandFrameHeight - 26});
    ui.getMsg->setFont(labelFont);
    ui.getMsg->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Long lines wrap, as in a text box with only a vertical scroll bar. Only
    // the lines in view are then drawn, however long an entry grows (a device
    // flooding the link), and frame text wraps wherever it reaches the edge.
    ui.getMsg->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    ui.getMsg->setWordWrapMode(QTextOption::WrapAnywhere);
    // Tab moves on to the next control, as in every text box of the window.
    ui.getMsg->setTabChangesFocus(true);
}

void buildFramesOverLog(QWidget *window, Controls &ui)
{
    // Made after the log, so they lie on top of it; filled, so that the log's
    // text does not show through.
    const int x = rightX + 12;
    ui.Frame6 = frame(window, QStringLiteral("Frame6"), QStringLiteral("Im/Export config file"),
                      {x, 40, 200, 96});
    ui.Frame6->setAutoFillBackground(true);
    ui.Command3 = button<QPushButton>(ui.Frame6, QStringLiteral("Command3"),
                                      QStringLiteral("Import config file"), {10, 24, 180, 30});
    ui.Command4 = button<QPushButton>(ui.Frame6, QStringLiteral("Command4"),
                                      QStringLiteral("Export config file"), {10, 58, 180, 30});

    ui.Frame5 = frame(window, QStringLiteral("Frame5"), QStringLiteral("Kill file menu"),
                      {x, 142, 290, 190});
    ui.Frame5->setAutoFillBackground(true);
    for (int i = 0; i < 5; ++i)
        ui.killCmd[i] = button<QPushButton>(ui.Frame5, QStringLiteral("killCmd_%1").arg(i),
                                            QStringLiteral("Kill config%1.ini").arg(i + 1),
                                            {10, 24 + i * 32, 150, 30});
    // As high as the whole column of five.
    ui.killCmd[5] =
        button<QPushButton>(ui.Frame5, QStringLiteral("killCmd_5"),
                            QStringLiteral("Kill All Files"), {166, 24, 114, 4 * 32 + 30});
}

// `send` first, so it has the focus when the window opens; then the rest of
// the bottom row and the window from top to bottom.
void setTabOrder(const Controls &ui)
{
    QList<QWidget *> order = {ui.send,       ui.crcCalc, ui.savelog,    ui.Command1,   ui.sendCnt,
                              ui.crcEN,      ui.address, ui.port,       ui.comSelect,  ui.configCOM,
                              ui.modeSelect, ui.timeout, ui.connect[0], ui.connect[1], ui.repeat,
                              ui.rpStart,    ui.rpStop,  ui.rCNT,       ui.Command2,   ui.filetitle,
                              ui.filecombo,  ui.save};
    for (int i = 0; i < commandLineCount; ++i)
        order << ui.cmd[i] << ui.noteText[i];
    order << ui.getMsg << ui.Command3 << ui.Command4;
    for (QPushButton *kill : ui.killCmd)
        order << kill;
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

} // namespace

std::array<QLineEdit *, configValueCount> configBoxes(const QWidget *window)
{
    std::array<QLineEdit *, configValueCount> boxes{};
    const auto &names = configValueNames();
    for (int i = 0; i < configValueCount; ++i)
        boxes[i] = window->findChild<QLineEdit *>(names[i].boxName);
    return boxes;
}

QIcon programIcon()
{
    initIconResources();
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128})
        icon.addFile(QStringLiteral(":/tallowick/icons/tallowick-%1.png").arg(size), {size, size});
    return icon;
}

void buildMainWindowControls(QWidget *window, Controls &ui)
{
    window->setFont(windowFont());
    window->setWindowIcon(programIcon());
    // Windows that name no icon of their own (the decoder window) take it too.
    if (QGuiApplication::windowIcon().isNull())
        QGuiApplication::setWindowIcon(window->windowIcon());

    const QFont labelFont = mingFont(11.25);
    buildLinkSettings(window, ui, labelFont);
    buildConnectionSettings(window, ui, labelFont);
    buildRepeatSend(window, ui, labelFont);
    buildCommandLines(window, ui, labelFont);
    buildBottomRow(window, ui);
    buildRightColumn(window, ui, labelFont);
    buildFramesOverLog(window, ui);
    setTabOrder(ui);

    // The reply time-out's and repeated sending's timers come with the engine.
    ui.winsockchk = timer(window, QStringLiteral("winsockchk"));
    ui.winsockchk->setInterval(1000);
}

} // namespace tallowick
