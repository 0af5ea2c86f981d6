#include "links/ui/LinksMessage.h"

#include "app/MessageBox.h"

namespace qx {

void LinksMessage::Show(const QString& text) {
    QxMessageBox(text);
}

}  // namespace qx
