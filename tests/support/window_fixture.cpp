#include "support/window_fixture.h"

#include "support/files.h"

#include <QAbstractButton>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

namespace tallowick::test {

WindowFixture::WindowFixture(bool show, const QByteArray &config1)
{
    if (!config1.isEmpty() && !writeFile(folder.filePath(QStringLiteral("config1.ini")), config1))
        qWarning("config1.ini could not be written");
    window = std::make_unique<MainWindow>(folder.path());
    window->controls().address->setText(QStringLiteral("127.0.0.1"));
    if (show)
        window->show();
}

void WindowFixture::click(QWidget *widget)
{
    QTest::mouseClick(widget, Qt::LeftButton);
}

void WindowFixture::play(const QString &script)
{
    for (const QString &step : script.split(QStringLiteral("; "))) {
        const QString name = step.startsWith(u"click ") ? step.mid(6) : step.section(u'=', 0, 0);
        auto *widget = window->findChild<QWidget *>(name);
        QVERIFY2(widget, qPrintable(name));
        if (step.startsWith(u"click "))
            QTest::mouseClick(widget, Qt::LeftButton);
        else if (auto *box = qobject_cast<QLineEdit *>(widget))
            box->setText(step.section(u'=', 1));
        else
            qobject_cast<QAbstractButton *>(widget)->setChecked(step.section(u'=', 1) == u"1");
    }
}

void WindowFixture::keepLink(bool keep)
{
    click(ui().connect[keep ? 1 : 0]);
}

void WindowFixture::useTcp(quint16 port)
{
    if (engine().serialMode())
        click(ui().modeSelect);
    ui().address->setText(QStringLiteral("127.0.0.1"));
    ui().port->setText(QString::number(port));
}

void WindowFixture::useSerial(const QString &path, const QString &lineSettings)
{
    if (!engine().serialMode())
        click(ui().modeSelect);
    ui().comSelect->setText(path);
    ui().configCOM->setText(lineSettings);
}

void WindowFixture::setRepeat(int first, int last, int passes, int pauseMs)
{
    ui().rpStart->setText(QString::number(first));
    ui().rpStop->setText(QString::number(last));
    ui().rCNT->setText(QString::number(passes));
    ui().repeat->setText(QString::number(pauseMs));
}

bool WindowFixture::isIdle()
{
    return !engine().isWaiting() && ui().send->text() == u"Send" && ui().modeSelect->isEnabled() &&
           !ui().Timer->isActive() && !ui().repTimer->isActive() &&
           ui().Command2->text() == u"Repeat Send";
}

bool WindowFixture::waitUntil(const std::function<bool()> &done, int ms)
{
    if (done())
        return true;
    QEventLoop loop;
    const auto check = [&] {
        if (done())
            loop.quit();
    };
    QObject::connect(&engine(), &ExchangeEngine::exchangeEnded, &loop, check);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, check);
    poll.start(20);
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}

bool WindowFixture::waitIdle(int ms)
{
    return waitUntil([this] { return isIdle(); }, ms);
}

bool WindowFixture::waitRunEnded(int ms)
{
    return waitUntil([this] { return !engine().isRepeating() && isIdle(); }, ms);
}

QStringList logLines(const QString &logText)
{
    QStringList lines = logText.split(QStringLiteral("\r\n"));
    for (QString &line : lines)
        line.remove(timeStamp);
    return lines;
}

} // namespace tallowick::test
