#pragma once

class QGroupBox;
class QWidget;

namespace qx {

// Some styles (Fusion among them) draw a group box's title above its frame;
// the program's dialogs have it in the frame's top border, where it reads as
// the frame's name.
void PutTitleInBorder(QGroupBox* group);
// The same for every group box inside `window`.
void PutTitlesInBorders(QWidget* window);

}  // namespace qx
