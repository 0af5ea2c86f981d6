#include "links/ui/LinksMessage.h"

#include "ui/MessageBox.h"

namespace qx {

void LinksMessage::Show(const QString& text) {
    QxMessageBox(text);
}

}  // namespace qx
