#include "ui/main_window_layout.h"

#include "ui/log_box.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

namespace tallowick {

namespace {

// The Traditional Chinese face the captions were drawn for, with the CJK faces
// a Linux desktop has in its place.
QFont mingFont(qreal pointSize)
{
    QFont font;
    font.setFamilies({QStringLiteral("新細明體"), QStringLiteral("PMingLiU"),
                      QStringLiteral("Noto Sans CJK TC"), QStringLiteral("Noto Serif CJK TC"),
                      QStringLiteral("AR PL UMing TW"), QStringLiteral("WenQuanYi Zen Hei")});
    font.setPointSizeF(pointSize);
    return font;
}

template <typename W>
W *make(QWidget *parent, const QString &name, const QRect &geometry)
{
    auto *widget = new W(parent);
    widget->setObjectName(name);
    widget->setGeometry(geometry);
    return widget;
}

QLabel *label(QWidget *parent, const QString &name, const QString &caption, const QRect &geometry)
{
    auto *widget = make<QLabel>(parent, name, geometry);
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

QGroupBox *frame(QWidget *parent, const QString &name, const QString &caption, const QRect &geometry)
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

} // namespace

void buildMainWindowControls(QWidget *window, Controls &ui)
{
    const QFont labelFont = mingFont(11.25);

    // Link settings: both frames in one place; Mode beside them on the window.
    const QRect linkFrame(8, 4, 344, 54);
    ui.ipSet = frame(window, QStringLiteral("ipSet"), QStringLiteral("IP Settings"), linkFrame);
    ui.Label1 = label(ui.ipSet, QStringLiteral("Label1"), QStringLiteral("IP："), {8, 22, 34, 22});
    ui.address = textBox(ui.ipSet, QStringLiteral("address"), QStringLiteral("192.168.1.100"),
                         {44, 22, 130, 24});
    ui.Label2 = label(ui.ipSet, QStringLiteral("Label2"), QStringLiteral("PORT："), {184, 22, 60, 22});
    ui.port = textBox(ui.ipSet, QStringLiteral("port"), QStringLiteral("1560"), {246, 22, 90, 24});

    ui.comset = frame(window, QStringLiteral("comset"), QStringLiteral("Com port setting"), linkFrame);
    ui.Label8 = label(ui.comset, QStringLiteral("Label8"), QStringLiteral("COM Port："),
                      {6, 22, 88, 22});
    ui.comSelect = textBox(ui.comset, QStringLiteral("comSelect"), QString(), {94, 22, 48, 24});
    ui.comSelect->setToolTip(QStringLiteral(
        "A number n opens the n-th serial port (1 is /dev/ttyS0, 2 is /dev/ttyS1, ...).\n"
        "A device path such as /dev/ttyUSB0 or /dev/serial/by-id/... opens that device;\n"
        "a bare name such as ttyUSB0 opens it under /dev."));
    ui.baudrate = label(ui.comset, QStringLiteral("baudrate"),
                        QStringLiteral("Configure the seial line："), {146, 22, 112, 22});
    ui.baudrate->setWordWrap(false);
    ui.configCOM = textBox(ui.comset, QStringLiteral("configCOM"), QStringLiteral("9600,n,8,1"),
                           {258, 22, 80, 24});
    ui.configCOM->setToolTip(QStringLiteral(
        "baud,parity,data bits,stop bits: parity n, e, o, m or s; data bits 5 to 8; "
        "stop bits 1, 1.5 or 2"));
    ui.modeSelect = button<QPushButton>(window, QStringLiteral("modeSelect"), QStringLiteral("Mode"),
                                        {358, 20, 62, 34});

    ui.Frame2 = frame(window, QStringLiteral("Frame2"), QStringLiteral("Connection Settings"),
                      {8, 62, 412, 54});
    ui.Label3 = label(ui.Frame2, QStringLiteral("Label3"), QStringLiteral("Timeout："), {8, 22, 80, 22});
    ui.timeout = textBox(ui.Frame2, QStringLiteral("timeout"), QStringLiteral("3000"), {90, 22, 70, 24});
    ui.connect[0] = button<QRadioButton>(ui.Frame2, QStringLiteral("connect_0"),
                                         QStringLiteral("間斷連線"), {176, 22, 110, 24});
    ui.connect[1] = button<QRadioButton>(ui.Frame2, QStringLiteral("connect_1"),
                                         QStringLiteral("保持連線"), {292, 22, 110, 24});
    ui.connect[0]->setChecked(true);

    ui.Frame3 = frame(window, QStringLiteral("Frame3"), QStringLiteral("Repeat Send"),
                      {8, 120, 412, 54});
    ui.Label4 = label(ui.Frame3, QStringLiteral("Label4"), QStringLiteral("Repeat Time："),
                      {6, 22, 104, 22});
    ui.repeat = textBox(ui.Frame3, QStringLiteral("repeat"), QStringLiteral("1000"), {110, 22, 50, 24});
    ui.Label5 = label(ui.Frame3, QStringLiteral("Label5"), QStringLiteral("Repeat："), {164, 22, 66, 22});
    ui.rpStart = textBox(ui.Frame3, QStringLiteral("rpStart"), QStringLiteral("1"), {230, 22, 28, 24});
    ui.Label6 = label(ui.Frame3, QStringLiteral("Label6"), QStringLiteral("～"), {260, 22, 18, 22});
    ui.rpStop = textBox(ui.Frame3, QStringLiteral("rpStop"), QStringLiteral("1"), {278, 22, 28, 24});
    ui.rCNT = textBox(ui.Frame3, QStringLiteral("rCNT"), QString(), {310, 22, 34, 24});
    ui.Command2 = button<QPushButton>(ui.Frame3, QStringLiteral("Command2"),
                                      QStringLiteral("Repeat Send"), {346, 20, 62, 28});

    ui.Frame4 = frame(window, QStringLiteral("Frame4"), QStringLiteral("Command Line"),
                      {8, 178, 412, 426});
    ui.filename = label(ui.Frame4, QStringLiteral("filename"), QStringLiteral("File Name："),
                        {6, 22, 76, 22});
    ui.filetitle = textBox(ui.Frame4, QStringLiteral("filetitle"), QStringLiteral("fileName"),
                           {84, 22, 112, 24});
    ui.filetitle->setStyleSheet(QStringLiteral("background-color: palette(window);"));
    ui.filecombo = make<QComboBox>(ui.Frame4, QStringLiteral("filecombo"), {202, 22, 92, 24});
    ui.filecombo->setEditable(true);
    ui.filecombo->addItems({QStringLiteral("config1"), QStringLiteral("config2"),
                            QStringLiteral("config3"), QStringLiteral("config4"),
                            QStringLiteral("config5")});
    ui.filecombo->setCurrentIndex(-1);
    ui.filecombo->setEditText(QStringLiteral("config1"));
    ui.save = button<QPushButton>(ui.Frame4, QStringLiteral("save"), QStringLiteral("Save setting"),
                                  {300, 20, 104, 28});
    ui.Line1 = make<QFrame>(ui.Frame4, QStringLiteral("Line1"), {6, 52, 400, 2});
    ui.Line1->setFrameShape(QFrame::HLine);
    ui.Line1->setFrameShadow(QFrame::Sunken);
    for (int i = 0; i < commandLineCount; ++i) {
        const int y = 58 + i * 24; // 360 twips a row
        auto *caption = make<ClickableLabel>(ui.Frame4, QStringLiteral("Label7_%1").arg(i),
                                             {6, y, 74, 22});
        caption->setText(QStringLiteral("CMD%1：").arg(i + 1));
        caption->setFont(labelFont);
        ui.Label7[i] = caption;
        ui.cmd[i] = textBox(ui.Frame4, QStringLiteral("cmd_%1").arg(i), QStringLiteral("030102030405"),
                            {82, y, 204, 22});
        ui.noteText[i] = textBox(ui.Frame4, QStringLiteral("noteText_%1").arg(i), QString(),
                                 {290, y, 116, 22});
    }

    // Bottom row.
    ui.sendCnt = textBox(window, QStringLiteral("sendCnt"), QStringLiteral("1"), {8, 610, 36, 28});
    ui.sendCnt->setFont(mingFont(12));
    ui.crcEN = button<QCheckBox>(window, QStringLiteral("crcEN"), QStringLiteral("CRC EN"),
                                 {50, 612, 76, 24});
    ui.crcEN->setChecked(true);
    ui.send = button<QPushButton>(window, QStringLiteral("send"), QStringLiteral("Send"),
                                  {128, 608, 64, 30});
    ui.crcCalc = button<QPushButton>(window, QStringLiteral("crcCalc"),
                                     QStringLiteral("CRC Calculate"), {196, 608, 104, 30});
    ui.savelog = button<QPushButton>(window, QStringLiteral("savelog"), QStringLiteral("Save Log"),
                                     {304, 608, 76, 30});
    ui.Command1 = button<QPushButton>(window, QStringLiteral("Command1"), QStringLiteral("Clear"),
                                      {384, 608, 60, 30});
    ui.status = label(window, QStringLiteral("status"), QString(), {450, 612, 548, 24});

    // Right column.
    ui.winsockstatus = label(window, QStringLiteral("winsockstatus"), QStringLiteral("Initial...."),
                             {428, 4, 220, 20});
    ui.winsockstatus->setFont(mingFont(8.25));
    ui.ver = label(window, QStringLiteral("ver"), QStringLiteral("Label8"), {880, 4, 118, 20});
    QFont consolas(QStringLiteral("Consolas"));
    consolas.setFamilies({QStringLiteral("Consolas"), QStringLiteral("DejaVu Sans Mono"),
                          QStringLiteral("Monospace")});
    consolas.setPointSizeF(8.25);
    ui.ver->setFont(consolas);
    ui.ver->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    ui.getMsg = make<LogBox>(window, QStringLiteral("getMsg"), {428, 26, 570, 578});
    ui.getMsg->setFont(labelFont);
    ui.getMsg->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    ui.getMsg->setLineWrapMode(QPlainTextEdit::NoWrap);

    // Frames over the log, near its left edge.
    ui.Frame6 = frame(window, QStringLiteral("Frame6"), QStringLiteral("Im/Export config file"),
                      {440, 40, 190, 92});
    ui.Command3 = button<QPushButton>(ui.Frame6, QStringLiteral("Command3"),
                                      QStringLiteral("Import config file"), {10, 22, 170, 28});
    ui.Command4 = button<QPushButton>(ui.Frame6, QStringLiteral("Command4"),
                                      QStringLiteral("Export config file"), {10, 54, 170, 28});
    ui.Frame5 = frame(window, QStringLiteral("Frame5"), QStringLiteral("Kill file menu"),
                      {440, 138, 270, 182});
    for (int i = 0; i < 5; ++i)
        ui.killCmd[i] = button<QPushButton>(ui.Frame5, QStringLiteral("killCmd_%1").arg(i),
                                            QStringLiteral("Kill config%1.ini").arg(i + 1),
                                            {10, 22 + i * 31, 140, 28});
    ui.killCmd[5] = button<QPushButton>(ui.Frame5, QStringLiteral("killCmd_5"),
                                        QStringLiteral("Kill All Files"), {156, 22, 104, 152});

    for (QLabel *l : {ui.Label1, ui.Label2, ui.Label3, ui.Label4, ui.Label5, ui.Label6, ui.Label8})
        l->setFont(labelFont);

    ui.Timer = timer(window, QStringLiteral("Timer"));
    ui.repTimer = timer(window, QStringLiteral("repTimer"));
    ui.winsockchk = timer(window, QStringLiteral("winsockchk"));
    ui.winsockchk->setInterval(1000);
}

} // namespace tallowick
