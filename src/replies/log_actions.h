#pragma once

#include <QObject>

namespace tallowick {

struct Context;

// The Clear and Save Log buttons of the log.
class LogActions : public QObject
{
    Q_OBJECT
public:
    explicit LogActions(Context &context, QObject *parent = nullptr);

    void Command1_Click(); // Clear
    void savelog_Click();  // Save Log

private:
    Context &m_ctx;
};

} // namespace tallowick
