#include "decoder/decoder_window.h"

namespace tallowick {

// Placeholder until the decoder window lands.
DecoderWindow::DecoderWindow(QWidget *parent) : QWidget(parent) {}

void DecoderWindow::handOver(const QString &) {}

DecoderWindow *DecoderWindow::instance()
{
    return nullptr;
}

} // namespace tallowick
