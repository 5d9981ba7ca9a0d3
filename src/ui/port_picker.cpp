#include "ui/port_picker.h"

#include "links/serial_settings.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QIconEngine>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QStyle>
#include <QStyleOption>
#include <QTextDocument>
#include <QThreadPool>

#include <algorithm>

namespace tallowick {

namespace {

// The arrow of a combo box, drawn by the style at whatever size and pixel
// ratio the button asks for.
class DropDownArrow : public QIconEngine
{
public:
    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State) override
    {
        QStyleOption option;
        option.rect = rect;
        option.palette = QApplication::palette();
        if (mode == QIcon::Disabled) {
            option.palette.setCurrentColorGroup(QPalette::Disabled);
        } else {
            option.state |= QStyle::State_Enabled;
        }
        QApplication::style()->drawPrimitive(QStyle::PE_IndicatorArrowDown, &option, painter);
    }
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        // Asked for in device pixels, while the style draws its arrow in
        // logical ones: at twice the scale it would come out half as large.
        const qreal ratio = std::max<qreal>(1.0, qApp->devicePixelRatio());
        QPixmap pixmap(size);
        pixmap.setDevicePixelRatio(ratio);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paint(&painter, QRect(QPoint(0, 0), (QSizeF(size) / ratio).toSize()), mode, state);
        return pixmap;
    }
    QIconEngine *clone() const override { return new DropDownArrow; }
};

const QString listHint = QStringLiteral(
    "The arrow at the right end, Alt+Down or F4 lists the serial ports present;\n"
    "choosing one puts its path here, its /dev/serial/by-id/... name when it has one.");

} // namespace

PortPicker::PortPicker(QLineEdit *edit, PortLister lister)
    : QObject(edit), m_edit(edit), m_lister(std::move(lister))
{
    m_button = new QAction(QIcon(new DropDownArrow), QStringLiteral("Serial ports present"), this);
    m_button->setObjectName(edit->objectName() + QStringLiteral("Ports"));
    m_button->setToolTip(QStringLiteral("Lists the serial ports present (Alt+Down, F4)"));
    edit->addAction(m_button, QLineEdit::TrailingPosition);
    connect(m_button, &QAction::triggered, this, &PortPicker::showList);

    m_list = new QMenu(edit);
    m_list->setObjectName(edit->objectName() + QStringLiteral("PortList"));
    m_list->setToolTipsVisible(true);

    m_hint = edit->toolTip().isEmpty() ? listHint : edit->toolTip() + u'\n' + listHint;
    showTextInTip(edit->text());
    connect(edit, &QLineEdit::textChanged, this, &PortPicker::showTextInTip);
    edit->installEventFilter(this);
}

void PortPicker::showTextInTip(const QString &text)
{
    const QString tip = text.isEmpty() ? m_hint : text + QStringLiteral("\n\n") + m_hint;
    // A tooltip that looks like markup is drawn as markup: the box's text is
    // shown as typed all the same.
    m_edit->setToolTip(Qt::mightBeRichText(tip) ? Qt::convertFromPlainText(tip, Qt::WhiteSpacePre)
                                                : tip);
}

void PortPicker::setLister(PortLister lister)
{
    m_lister = std::move(lister);
}

void PortPicker::showList()
{
    m_records = m_lister ? m_lister() : presentSerialPorts();
    ++m_generation;
    QAction *current = fillList();
    m_list->popup(m_edit->mapToGlobal(QPoint(0, m_edit->height())));
    if (current)
        m_list->setActiveAction(current);
    checkInBackground();
}

QAction *PortPicker::fillList()
{
    m_list->clear();
    if (m_records.empty()) {
        m_list->addAction(QStringLiteral("No serial port found"))->setEnabled(false);
        return nullptr;
    }
    const QString inBox = serialDevicePath(m_edit->text()).value_or(QString());
    // The same device under yet another name, such as /dev/serial/by-path/...
    // Resolving links reads no device.
    const QString inBoxDevice = inBox.isEmpty() ? QString() : QFileInfo(inBox).canonicalFilePath();
    QAction *current = nullptr;
    for (const PortRecord &record : m_records) {
        QAction *item = m_list->addAction(QString());
        const QString choice = portChoice(record);
        connect(item, &QAction::triggered, this, [this, choice] { choose(choice); });
        const bool named =
            !inBox.isEmpty() &&
            (inBox == record.path || inBox == record.byIdPath ||
             (!inBoxDevice.isEmpty() && inBoxDevice == QFileInfo(record.path).canonicalFilePath()));
        if (named) {
            item->setCheckable(true);
            item->setChecked(true);
        }
        if (!current && named)
            current = item;
    }
    markProblems(std::vector<PortAccess>(m_records.size()));
    return current;
}

// Looking for the holders of a port reads the open files of every process this
// user may see, which on a busy desktop takes longer than the list may keep
// the window waiting.
void PortPicker::checkInBackground()
{
    if (m_records.empty())
        return;
    QThreadPool::globalInstance()->start(
        // The picker is only looked at back on the UI thread, where it may be gone.
        [self = QPointer<PortPicker>(this), generation = m_generation,
         records = m_records]() mutable {
            std::vector<PortAccess> access = checkPortAccess(records);
            QMetaObject::invokeMethod(
                qApp,
                [self = std::move(self), generation, access = std::move(access)] {
                    if (self && self->m_generation == generation) {
                        self->markProblems(access);
                        emit self->listChecked();
                    }
                },
                Qt::QueuedConnection);
        });
}

void PortPicker::markProblems(const std::vector<PortAccess> &access)
{
    const QList<QAction *> items = m_list->actions();
    const QIcon warning = m_edit->style()->standardIcon(QStyle::SP_MessageBoxWarning);
    for (size_t i = 0; i < m_records.size() && i < size_t(items.size()); ++i) {
        QAction *item = items[qsizetype(i)];
        item->setText(portItemText(m_records[i], access[i]).replace(u'&', QStringLiteral("&&")));
        QString tip = portChoice(m_records[i]);
        // A port that cannot be opened now stays choosable: the user may be
        // about to close the other program or to log in again, and the lock
        // or process seen may be gone by the time of Send.
        if (access[i].problem != PortAccess::None) {
            item->setIcon(warning);
            tip += u'\n' + portProblemText(access[i]);
        }
        item->setToolTip(tip);
    }
}

void PortPicker::choose(const QString &path)
{
    if (m_edit->isReadOnly() || !m_edit->isEnabled())
        return;
    m_edit->setFocus(Qt::OtherFocusReason);
    // As if typed: undoable, and reported as an edit.
    m_edit->selectAll();
    m_edit->insert(path);
}

bool PortPicker::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_edit &&
        (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride)) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
        if ((key->key() == Qt::Key_F4 && modifiers == Qt::NoModifier) ||
            (key->key() == Qt::Key_Down && modifiers == Qt::AltModifier)) {
            // Taken before any shortcut of the window, as a combo box takes it.
            event->accept();
            if (event->type() == QEvent::KeyPress)
                showList();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace tallowick

#include "moc_port_picker.cpp"
