#include "support/exchange.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QTest>

namespace tallowick::test {

void play(WindowFixture &f, const QString &script)
{
    for (const QString &step : script.split(QStringLiteral("; "))) {
        const QString name = step.startsWith(u"click ") ? step.mid(6) : step.section(u'=', 0, 0);
        auto *widget = f.window->findChild<QWidget *>(name);
        QVERIFY2(widget, qPrintable(name));
        if (step.startsWith(u"click "))
            QTest::mouseClick(widget, Qt::LeftButton);
        else if (auto *box = qobject_cast<QLineEdit *>(widget))
            box->setText(step.section(u'=', 1));
        else
            qobject_cast<QAbstractButton *>(widget)->setChecked(step.section(u'=', 1) == u"1");
    }
}

} // namespace tallowick::test
