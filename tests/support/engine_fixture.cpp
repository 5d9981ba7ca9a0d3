#include "support/engine_fixture.h"

#include "support/message_code.h"

#include <QTest>

#include <functional>
#include <map>

namespace tallowick::test {

using namespace Qt::StringLiterals;

EngineFixture::EngineFixture()
    : replyTimeout(clock.newTimer()), serialQuiet(clock.newTimer()), repeatPause(clock.newTimer()),
      engine(in, serial, tcp, {replyTimeout, serialQuiet, repeatPause, [this] {
                                   return ExchangeReport::Moment(clock.now());
                               }})
{
    for (ManualTimer *timer : {replyTimeout, serialQuiet, repeatPause})
        timer->setParent(&engine);
    QObject::connect(&engine, &ExchangeEngine::logEntry, &engine,
                     [this](const QString &text, int breaks) {
                         log << (breaks == 2 ? text : text + u'|' + QString::number(breaks));
                     });
    QObject::connect(&engine, &ExchangeEngine::logLineBreak, &engine, [this] { log << u"¶"_s; });
    QObject::connect(&engine, &ExchangeEngine::statusChanged, &engine,
                     [this](const QString &caption) { status = caption; });
    QObject::connect(&engine, &ExchangeEngine::lineNumberChosen, &engine,
                     [this](const QString &number) { in.field[FakeInputs::SendCnt] = number; });
    QObject::connect(&engine, &ExchangeEngine::messageRaised, &engine,
                     [this](const UserMessage &message) {
                         const int code = messageCode(message);
                         log << u"box %1 %2: %3"_s.arg(code).arg(message.title, message.text);
                         boxes << u"%1|%2|%3"_s.arg(message.text.section(u'\n', 0, 0))
                                      .arg(code)
                                      .arg(message.title);
                     });
}

void EngineFixture::set(const QString &name, const QString &value)
{
    const QStringList linkErrors{u"None"_s, u"InvalidPort"_s, u"InvalidSettings"_s, u"Other"_s};
    // By FakeInputs::Field.
    const QStringList fields{u"sendCnt"_s, u"timeout"_s, u"address"_s, u"port"_s,   u"comSelect"_s,
                             u"rCNT"_s,    u"rpStart"_s, u"rpStop"_s,  u"repeat"_s, u"configCOM"_s};
    bool isLine = false;
    const int line = name.startsWith(u"cmd") ? name.mid(3).toInt(&isLine) : 0;
    if (name == u"baud")
        serial.line.baudRate = value.toInt();
    else if (name == u"open" && linkErrors.contains(value))
        serial.openResult = LinkError(linkErrors.indexOf(value));
    else if (fields.contains(name))
        in.field[size_t(fields.indexOf(name))] = value;
    else if (isLine && line >= 1 && line <= commandLineCount)
        in.cmd[size_t(line - 1)] = value;
    else if (name == u"crc" || name == u"drop")
        (name == u"crc" ? in.crc : in.drop) = value == u"1";
    else
        QTest::qFail(qPrintable(u"no field "_s + name), __FILE__, __LINE__);
}

void EngineFixture::run(const QString &script)
{
    using Step = std::function<void(const QString &)>;
    auto link = [this]() -> FakeLink & { return engine.serialMode() ? serial : tcp; };
    const std::map<QString, Step> steps{
        {u"send"_s, [&](const QString &) { engine.send(); }},
        {u"label"_s, [&](const QString &n) { engine.sendLineOf(n.toInt() - 1); }},
        {u"crc"_s, [&](const QString &) { engine.showCrc(); }},
        {u"mode"_s, [&](const QString &) { engine.toggleMode(); }},
        {u"repeat"_s, [&](const QString &) { engine.toggleRepeat(); }},
        {u"accept"_s, [&](const QString &) { tcp.acceptConnection(); }},
        {u"arrive"_s,
         [&](const QString &hex) { link().arrive(QByteArray::fromHex(hex.toLatin1())); }},
        {u"close"_s, [&](const QString &) { link().peerCloses(); }},
        {u"reset"_s, [&](const QString &) { link().peerResets(); }},
        {u"gone"_s, [&](const QString &) { serial.deviceGone(); }},
        {u"wait"_s,
         [&](const QString &ms) {
             clock.advance(std::chrono::microseconds(qRound64(ms.toDouble() * 1000)));
         }},
        {u"next"_s, [&](const QString &) { clock.next(); }},
        {u"idle"_s, [&](const QString &) { clock.runOut(); }},
        {u"set"_s, [&](const QString &a) { set(a.section(u'=', 0, 0), a.section(u'=', 1)); }}};
    for (const QString &rawStep : script.split(u';', Qt::SkipEmptyParts)) {
        const QString step = rawStep.trimmed();
        if (step.isEmpty())
            continue;
        const auto found = steps.find(step.section(u' ', 0, 0));
        if (found == steps.end())
            QTest::qFail(qPrintable(u"no step "_s + step), __FILE__, __LINE__);
        else
            found->second(step.section(u' ', 1));
    }
}

QString EngineFixture::links() const
{
    QStringList parts;
    for (const auto &[name, link] : {std::pair{"tcp", &tcp}, std::pair{"serial", &serial}}) {
        if (link->state() != Link::Closed || !link->opened.isEmpty())
            parts << u"%1 %2 %3/%4"_s.arg(QLatin1String(name))
                         .arg(link->state())
                         .arg(link->opened.size())
                         .arg(link->written.size());
    }
    const std::pair<bool, const char *> flags[] = {{engine.linkOpen(), "open"},
                                                   {engine.linkFailed(), "failed"},
                                                   {engine.isWaiting(), "waiting"},
                                                   {engine.isRepeating(), "repeating"}};
    for (const auto &[set, name] : flags) {
        if (set)
            parts << QLatin1String(name);
    }
    return parts.join(u' ');
}

} // namespace tallowick::test
