#pragma once

#include <QObject>

namespace tallowick {

struct Context;

// Repeated sending: Command2 starts and stops a run, repTimer starts each pass.
class Repeater : public QObject
{
    Q_OBJECT
public:
    explicit Repeater(Context &context, QObject *parent = nullptr);

    void Command2_Click();
    void repTimer_Timer();

private:
    Context &m_ctx;
};

} // namespace tallowick
