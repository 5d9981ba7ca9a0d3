#pragma once

#include <QWidget>

namespace tallowick {

// The decoder window "getStringBox": a frame and its field-by-field description.
class DecoderWindow : public QWidget
{
    Q_OBJECT
public:
    explicit DecoderWindow(QWidget *parent = nullptr);

    // The log's double-click: opens the window if it is closed (arming its
    // one-shot description), replaces its text and shows it.
    static void handOver(const QString &selectedText);
    // The open window, or nullptr.
    static DecoderWindow *instance();
};

} // namespace tallowick
