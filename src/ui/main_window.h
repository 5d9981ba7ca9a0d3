#pragma once

#include "ui/context.h"

#include <QCoreApplication>
#include <QPointer>
#include <QWidget>

namespace tallowick {

class LogActions;

// The main window "Tallowick". Creating it runs start-up against the given
// program folder, where the configuration slot files live.
class MainWindow : public QWidget
{
    Q_OBJECT
public:
    explicit MainWindow(const QString &programFolder = QCoreApplication::applicationDirPath(),
                        QWidget *parent = nullptr);
    ~MainWindow() override;

    Context &context() { return m_ctx; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void startUp();
    // The window sees every key typed into its controls before they do.
    void Form_KeyPress(const QString &key);
    // Hands the selected log text to the decoder window.
    void getMsg_DblClick();

    Context m_ctx;
    const QEvent *m_lastKey = nullptr;
    QPointer<QWidget> m_lastKeyTarget;
    LogActions *m_logActions = nullptr;
};

} // namespace tallowick
