#pragma once

#include "links/serial_ports.h"

#include <QObject>

class QAction;
class QLineEdit;
class QMenu;

namespace tallowick {

// The serial ports present, offered in a text box that names a port: a
// drop-down button at the box's right end, or Alt+Down or F4 as in a combo box,
// opens a list read afresh each time, and choosing a port puts its path into
// the box. The box keeps its text and meaning; the picker only types into it.
// As the box is too narrow for a /dev/serial/by-id/... name, its tooltip
// begins with the whole text, and the list checks the port the box names.
class PortPicker : public QObject
{
    Q_OBJECT
public:
    // Owned by `edit`; the button and the list are named after it (for
    // comSelect: comSelectPorts and comSelectPortList).
    explicit PortPicker(QLineEdit *edit, PortLister lister = {});
    static PortPicker *attach(QLineEdit *edit) { return new PortPicker(edit); }

    void setLister(PortLister lister);
    QAction *button() const { return m_button; }
    QMenu *list() const { return m_list; }

    // Reads the ports present, fills the list and shows it under the box; why
    // a port cannot be opened is found in the background and added to its item.
    void showList();

signals:
    // The items of the list now say which ports cannot be opened.
    void listChecked();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QAction *fillList();
    void checkInBackground();
    void markProblems(const std::vector<PortAccess> &access);
    void choose(const QString &path);
    void showTextInTip(const QString &text);

    QLineEdit *m_edit;
    QString m_hint; // the box's tooltip before it named a port
    QAction *m_button;
    QMenu *m_list;
    PortLister m_lister;
    std::vector<PortRecord> m_records; // as the list shows them, item by item
    quint64 m_generation = 0;          // of the list, so a late check finds its own
};

} // namespace tallowick
