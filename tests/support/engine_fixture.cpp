#include "support/engine_fixture.h"

#include <QTest>

namespace tallowick::test {

void FakeInputs::set(const QString &assignment)
{
    const QString name = assignment.section(u'=', 0, 0);
    const QString value = assignment.section(u'=', 1);
    if (name == u"sendCnt")
        sendCnt = value;
    else if (name.startsWith(u"cmd"))
        cmd.at(name.mid(3).toInt() - 1) = value;
    else if (name == u"crc")
        crc = value == u"1";
    else if (name == u"address")
        addressText = value;
    else if (name == u"port")
        portText = value;
    else if (name == u"timeout")
        timeoutText = value;
    else if (name == u"comSelect")
        comSelectText = value;
    else if (name == u"configCOM")
        configComText = value;
    else if (name == u"drop")
        drop = value == u"1";
    else if (name == u"rCNT")
        repeat.rCNT = value;
    else if (name == u"rpStart")
        repeat.rpStart = value;
    else if (name == u"rpStop")
        repeat.rpStop = value;
    else if (name == u"repeat")
        repeat.repeat = value;
    else
        QTest::qFail(qPrintable(QStringLiteral("no field ") + name), __FILE__, __LINE__);
}

EngineFixture::EngineFixture()
    : replyTimeout(clock.newTimer()), serialQuiet(clock.newTimer()),
      repeatPause(clock.newTimer()),
      engine(in, serial, tcp, {replyTimeout, serialQuiet, repeatPause})
{
    replyTimeout->setParent(&engine);
    serialQuiet->setParent(&engine);
    repeatPause->setParent(&engine);
    QObject::connect(&engine, &ExchangeEngine::logEntry, &engine,
                     [this](const QString &text, int breaks) {
                         log << (breaks == 2 ? text : text + u'|' + QString::number(breaks));
                     });
    QObject::connect(&engine, &ExchangeEngine::logLineBreak, &engine,
                     [this] { log << QStringLiteral("¶"); });
    QObject::connect(&engine, &ExchangeEngine::statusChanged, &engine,
                     [this](const QString &caption) { status = caption; });
    QObject::connect(&engine, &ExchangeEngine::lineNumberChosen, &engine,
                     [this](const QString &number) {
                         lineNumberShown = number;
                         in.sendCnt = number;
                     });
    QObject::connect(&engine, &ExchangeEngine::exchangeEnded, &engine,
                     [this] { ++exchangesEnded; });
}

void EngineFixture::run(const QString &script)
{
    for (const QString &rawStep : script.split(u';', Qt::SkipEmptyParts)) {
        const QString step = rawStep.trimmed();
        const QString verb = step.section(u' ', 0, 0);
        const QString arg = step.section(u' ', 1);
        FakeLink &link = engine.serialMode() ? serial : tcp;
        if (verb == u"send")
            engine.send();
        else if (verb == u"label")
            engine.sendLineOf(arg.toInt() - 1);
        else if (verb == u"crc")
            engine.showCrc();
        else if (verb == u"mode")
            engine.toggleMode();
        else if (verb == u"repeat")
            engine.toggleRepeat();
        else if (verb == u"accept")
            tcp.acceptConnection();
        else if (verb == u"arrive")
            link.arrive(QByteArray::fromHex(arg.toLatin1()));
        else if (verb == u"close")
            link.peerCloses();
        else if (verb == u"reset")
            link.peerResets();
        else if (verb == u"gone")
            serial.deviceGone();
        else if (verb == u"wait")
            clock.advance(std::chrono::microseconds(qRound64(arg.toDouble() * 1000)));
        else if (verb == u"next")
            clock.next();
        else if (verb == u"idle")
            clock.runOut();
        else if (verb == u"set")
            in.set(arg);
        else
            QTest::qFail(qPrintable(QStringLiteral("no step ") + step), __FILE__, __LINE__);
    }
}

} // namespace tallowick::test
