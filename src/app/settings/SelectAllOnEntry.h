#pragma once
// Entering a text box selects its whole text, so that typing replaces it.

class QLineEdit;

namespace zorvik::app {

void SelectAllOnEntry(QLineEdit& box);

}  // namespace zorvik::app
