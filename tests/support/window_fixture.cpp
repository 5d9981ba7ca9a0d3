#include "support/window_fixture.h"

#include <QLineEdit>

namespace tallowick::test {

WindowFixture::WindowFixture(bool show)
{
    window = std::make_unique<MainWindow>(folder.path());
    window->controls().address->setText(QStringLiteral("127.0.0.1"));
    if (show)
        window->show();
}

QStringList logLines(const QString &logText)
{
    QStringList lines = logText.split(QStringLiteral("\r\n"));
    for (QString &line : lines)
        line.remove(timeStampPrefix);
    return lines;
}

} // namespace tallowick::test
